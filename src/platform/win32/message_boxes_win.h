#pragma once
// Error boxes owned by the main window once it exists, so that they stay in front of it and it
// waits for them.

#include <windows.h>

#include "core/platform/message_boxes.h"

namespace dravik::platform {

class MessageBoxesWin final : public core::MessageBoxes {
 public:
  // The window the boxes belong to; none (or a window since destroyed) shows them unowned.
  void SetOwner(HWND owner) { owner_ = owner; }

  void ShowError(std::string_view caption, std::string_view text) override;

 private:
  HWND owner_ = nullptr;
};

}  // namespace dravik::platform
