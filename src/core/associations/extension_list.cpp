#include "core/associations/extension_list.h"

#include <algorithm>

#include "engine/library/ansi_case.h"

namespace dravik::core {

namespace {

// Order and sameness without regard to case, by the ANSI code page's letter pairs.
int CompareWithoutCase(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const unsigned char x = engine::kAnsiUpperTable[static_cast<unsigned char>(a[i])];
    const unsigned char y = engine::kAnsiUpperTable[static_cast<unsigned char>(b[i])];
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

void ExtensionList::Add(std::string_view entry) {
  const auto place = std::lower_bound(entries_.begin(), entries_.end(), entry,
                                      [](const std::string& e, std::string_view x) { return CompareWithoutCase(e, x) < 0; });
  if (place != entries_.end() && CompareWithoutCase(*place, entry) == 0) return;
  const int index = static_cast<int>(place - entries_.begin());
  entries_.emplace(place, entry);
  if (Selected() && index <= selected_) ++selected_;
}

void ExtensionList::RemoveAt(std::size_t index) {
  if (index >= entries_.size()) return;
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
}

void ExtensionList::Clear() {
  entries_.clear();
  selected_ = -1;
}

std::optional<std::size_t> ExtensionList::Selected() const {
  if (selected_ < 0 || static_cast<std::size_t>(selected_) >= entries_.size()) return std::nullopt;
  return static_cast<std::size_t>(selected_);
}

}  // namespace dravik::core
