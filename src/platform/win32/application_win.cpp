#include "platform/win32/application_win.h"

namespace dravik::platform {

ApplicationWin::ApplicationWin() : thread_(GetCurrentThreadId()) {}

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

// Not cut short by the end of the program: a script that goes on waiting after a mount ended the
// program keeps the window answering and painted.
void ApplicationWin::ProcessMessages() {
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
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

// A thread message: it wakes the wait whichever window the thread has, and its dispatch does
// nothing.
void ApplicationWin::Wake() { PostThreadMessageA(thread_, WM_NULL, 0, 0); }

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
