#pragma once
// The thread's message queue as the core steers it. The program's own message loop (RunLoop)
// and the nested dispatching of waiting scripts (ProcessMessages) share one end-of-program flag:
// whichever of them meets the quit message marks the program ended, and RunLoop ends at once.

#include <windows.h>

#include "core/platform/application.h"

namespace dravik::platform {

class ApplicationWin final : public core::Application {
 public:
  // Belongs to the thread that makes it: the window thread.
  ApplicationWin();

  // The window CloseMainWindow closes; none until it exists.
  void SetMainWindow(HWND window) { mainWindow_ = window; }
  bool Terminated() const { return terminated_; }

  // Dispatches messages until the program is ended.
  void RunLoop();

  void ProcessMessages() override;
  void WaitForMessage(std::uint32_t milliseconds) override;
  void Wake() override;
  void Terminate() override;
  void CloseMainWindow() override;

 private:
  void Dispatch(const MSG& message);

  DWORD thread_;
  HWND mainWindow_ = nullptr;
  bool terminated_ = false;
};

}  // namespace dravik::platform
