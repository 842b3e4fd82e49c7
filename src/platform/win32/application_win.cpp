#include "platform/win32/application_win.h"

namespace dravik::platform {

void ApplicationWin::RunLoop() {
  MSG message{};
  while (!terminated_) {
    // Zero is the quit message, -1 a failure of the queue itself; neither leaves anything to do.
    if (GetMessageA(&message, nullptr, 0, 0) <= 0) {
      terminated_ = true;
      break;
    }
    Dispatch(message);
  }
}

void ApplicationWin::ProcessMessages() {
  MSG message{};
  while (!terminated_ && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      terminated_ = true;
      break;
    }
    Dispatch(message);
  }
}

void ApplicationWin::WaitForMessage(std::uint32_t milliseconds) {
  MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_ALLINPUT);
}

void ApplicationWin::Terminate() {
  terminated_ = true;
  PostQuitMessage(0);
}

void ApplicationWin::CloseMainWindow() {
  if (mainWindow_ != nullptr && IsWindow(mainWindow_)) PostMessageA(mainWindow_, WM_CLOSE, 0, 0);
}

void ApplicationWin::Dispatch(const MSG& message) {
  TranslateMessage(&message);
  DispatchMessageA(&message);
}

}  // namespace dravik::platform
