#include "platform/win32/message_boxes_win.h"

#include <string>

namespace dravik::platform {

void MessageBoxesWin::ShowError(std::string_view caption, std::string_view text) {
  const std::string captionText(caption);
  const std::string bodyText(text);
  const HWND owner = owner_ != nullptr && IsWindow(owner_) ? owner_ : nullptr;
  MessageBoxA(owner, bodyText.c_str(), captionText.c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace dravik::platform
