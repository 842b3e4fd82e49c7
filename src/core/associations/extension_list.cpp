#include "core/associations/extension_list.h"

#include <algorithm>

#include "engine/engine.h"

namespace dravik::core {

void ExtensionList::Add(std::string_view entry) {
  const auto place = std::lower_bound(entries_.begin(), entries_.end(), entry,
                                      [](const std::string& e, std::string_view x) { return engine::CompareAnsiText(e, x) < 0; });
  if (place != entries_.end() && engine::CompareAnsiText(*place, entry) == 0) return;
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
