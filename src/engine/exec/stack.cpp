#include "engine/exec/stack.h"

#include <algorithm>
#include <new>

#include "engine/values/script_fault.h"
#include "engine/values/value_memory.h"

namespace dravik::engine::exec {

namespace {

constexpr std::size_t RoundUp(std::size_t n, std::size_t step) { return (n + step - 1) / step * step; }
constexpr std::size_t kInitialSlots = 256;

}  // namespace

TPSStack::TPSStack() { GrowSlots(kInitialSlots); }

TPSStack::~TPSStack() { Clear(); }

std::size_t TPSStack::Capacity() const {
  std::size_t total = 0;
  for (const Segment& segment : segments_) total += segment.capacity;
  return total;
}

// Room for `needed` entries in the slot table; false when the memory cannot be had.
bool TPSStack::GrowSlots(std::size_t needed) {
  if (needed <= slotCapacity_) return true;
  const std::size_t capacity = std::max(needed, 2 * slotCapacity_);
  std::unique_ptr<Slot[]> grown(new (std::nothrow) Slot[capacity]);
  if (grown == nullptr) return false;
  std::copy(slots_.get(), slots_.get() + count_, grown.get());
  slots_ = std::move(grown);
  slotCapacity_ = capacity;
  return true;
}

// Room for size bytes in the current segment, or in the next one (made when missing or too
// small). Nothing changes when no memory can be had.
std::uint8_t* TPSStack::Allocate(std::size_t size) {
  std::size_t index = current_;
  if (index < segments_.size()) {
    const Segment& segment = segments_[index];
    if (segment.capacity - segment.used < size && segment.used != 0) ++index;
  }
  if (index < segments_.size() && segments_[index].capacity - segments_[index].used < size)
    segments_.resize(index);  // an empty spare too small for this slot
  if (index == segments_.size()) {
    Segment segment;
    segment.capacity = RoundUp(std::max(size, kMinSegmentSize), kGrowthStep);
    if (Capacity() + segment.capacity > kMaxBytes) values::FailWith(image::erOutOfMemory);
    segment.bytes.reset(new (std::nothrow) std::uint8_t[segment.capacity]);
    if (segment.bytes == nullptr) values::FailWith(image::erOutOfMemory);
    segments_.push_back(std::move(segment));
  }
  current_ = index;
  Segment& segment = segments_[index];
  std::uint8_t* at = segment.bytes.get() + segment.used;
  segment.used += size;
  return at;
}

void* TPSStack::PushSlow(const values::TPSTypeRec& type) {
  if (count_ >= slotLimit_) values::FailWith(image::erOutOfStackRange);
  if (type.memSize > values::kMaxValueMemSize) values::FailWith(image::erOutOfMemory);
  if (!GrowSlots(count_ + 1)) values::FailWith(image::erOutOfMemory);
  std::uint8_t* value = Allocate(SlotBytes(type.memSize));
  values::InitializeValue(value, type);
  slots_[count_++] = {&type, value};
  return value;
}

// Keeps one empty segment above the current one as a spare, so that pushing and popping
// across a segment boundary does not allocate each time; frees the rest once they add up to
// the shrink slack.
void TPSStack::ReleaseSpareSegments() {
  std::size_t spare = 0;
  for (std::size_t i = current_ + 1; i < segments_.size(); ++i) spare += segments_[i].capacity;
  if (spare >= kShrinkSlack && segments_.size() > current_ + 2) segments_.resize(current_ + 2);
}

void TPSStack::PopTo(std::size_t count) {
  while (count_ > count) Pop();
}

void TPSStack::Clear() {
  PopTo(0);
  segments_.clear();
  current_ = 0;
}

std::uint8_t* TPSStack::FrameAccess::Reserve(std::size_t bytes, std::size_t slots) {
  TPSStack& s = s_;
  const std::size_t needed = s.count_ + slots;
  if (needed > s.slotLimit_ || !s.GrowSlots(needed)) return nullptr;
  if (s.count_ == 0 && (s.current_ >= s.segments_.size() ||
                        s.segments_[s.current_].capacity - s.segments_[s.current_].used < bytes)) {
    // Nothing lives on the stack yet: the frame may start a segment of its own.
    s.segments_.clear();
    s.current_ = 0;
    if (bytes > kMaxBytes) return nullptr;
    Segment segment;
    segment.capacity = RoundUp(std::max(bytes, kMinSegmentSize), kGrowthStep);
    segment.bytes.reset(new (std::nothrow) std::uint8_t[segment.capacity]);
    if (segment.bytes == nullptr) return nullptr;
    s.segments_.push_back(std::move(segment));
  }
  if (s.current_ >= s.segments_.size()) return nullptr;
  Segment& segment = s.segments_[s.current_];
  if (segment.capacity - segment.used < bytes) return nullptr;
  return segment.bytes.get() + segment.used;
}

}  // namespace dravik::engine::exec
