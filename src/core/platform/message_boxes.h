#pragma once
// Modal error boxes: an error icon, one "OK" button; returns when the user has closed the box.

#include <string_view>

namespace dravik::core {

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual void ShowError(std::string_view caption, std::string_view text) = 0;
};

}  // namespace dravik::core
