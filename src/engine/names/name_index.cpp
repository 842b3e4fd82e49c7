#include "engine/names/name_index.h"

namespace dravik::engine::names {

namespace {
constexpr unsigned kFirstBits = 4;
}  // namespace

// The slot holding the name, or the empty slot where it would go.
std::size_t NameIndex::SlotOf(NameKey name) const {
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = NameSlot(name.hash, bits_);
  for (; slots_[slot] != 0; slot = (slot + 1) & mask) {
    const Entry& entry = entries_[slots_[slot] - 1];
    if (entry.hash == name.hash && entry.upper == name.upper) break;
  }
  return slot;
}

const NameIndex::Positions* NameIndex::Find(NameKey name) const {
  if (slots_.empty()) return nullptr;
  const std::uint32_t entry = slots_[SlotOf(name)];
  return entry == 0 ? nullptr : &entries_[entry - 1].positions;
}

void NameIndex::Add(NameKey name, std::size_t position) {
  if ((entries_.size() + 1) * 2 > slots_.size()) Grow();
  const std::size_t slot = SlotOf(name);
  if (slots_[slot] != 0) {
    entries_[slots_[slot] - 1].positions.last = position;
    return;
  }
  entries_.push_back({std::string(name.upper), name.hash, {position, position}});
  slots_[slot] = static_cast<std::uint32_t>(entries_.size());
}

// Twice the slots, every entry placed anew.
void NameIndex::Grow() {
  bits_ = bits_ == 0 ? kFirstBits : bits_ + 1;
  slots_.assign(std::size_t{1} << bits_, 0);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    std::size_t slot = NameSlot(entries_[i].hash, bits_);
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = static_cast<std::uint32_t>(i + 1);
  }
}

}  // namespace dravik::engine::names
