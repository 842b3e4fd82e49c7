#pragma once
// The extra extensions as the settings window's list holds them: sorted without regard to case,
// no two entries that differ only in case, and at most one selected entry.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dravik::core {

class ExtensionList {
 public:
  // Sorts entry in; an entry equal to one already there without regard to case is not added.
  // The selection stays on the entry it was on.
  void Add(std::string_view entry);
  // Removes the entry at index. The selection keeps its index, so it falls on the entry that
  // moved into that place, or on none when there is none.
  void RemoveAt(std::size_t index);
  void Clear();

  const std::vector<std::string>& Entries() const { return entries_; }
  // Any index; one out of range selects nothing.
  void Select(int index) { selected_ = index; }
  int SelectedIndex() const { return selected_; }
  std::optional<std::size_t> Selected() const;

 private:
  std::vector<std::string> entries_;
  int selected_ = -1;
};

}  // namespace dravik::core
