#pragma once
// The running program as the core steers it: its message loop, which waiting scripts keep
// turning, and the two ways it ends.

#include <cstdint>

namespace dravik::core {

class Application {
 public:
  virtual ~Application() = default;

  // Dispatches every window message that is waiting, then returns; handlers may run inside. It
  // goes on dispatching after the end of the program was requested, so that a script still
  // waiting keeps the window working until the script ends.
  virtual void ProcessMessages() = 0;
  // Sleeps until a window message arrives or milliseconds have passed, whichever is first.
  virtual void WaitForMessage(std::uint32_t milliseconds) = 0;
  // Ends a WaitForMessage of the window thread at once; may be called from any thread.
  virtual void Wake() = 0;
  // Ends the program once control is back in the message loop (at once if it is not running
  // yet), without closing the main window: its close handler does not run.
  virtual void Terminate() = 0;
  // Closes the main window, which runs its close handler and then ends the program.
  virtual void CloseMainWindow() = 0;
};

}  // namespace dravik::core
