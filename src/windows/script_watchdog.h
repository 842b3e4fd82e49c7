#pragma once
// The offer to stop a script that keeps the window thread from its messages (a loop that never
// waits): a small window with the script's name and a Stop button. It belongs to a thread of its
// own with its own message loop, so that it shows and answers while the window thread is busy in
// the script. It shows once the innermost script has kept the window thread busy for the delay,
// goes again when the script waits or ends, and its Stop asks every running script to stop.
// Scripts that wait now and then, or end soon, never see it.
//
// Its controls keep fixed IDs, so that outside tools can find and press them: kTextId the
// message, kStopId the button.

#include <cstdint>
#include <future>
#include <string>
#include <thread>

#include <windows.h>

#include "core/platform/clock.h"
#include "core/script_host/script_runs.h"
#include "windows/flat/window_timer.h"

namespace dravik::windows {

// "A few seconds": long enough that a script busy with real work is not interrupted, short
// enough that a frozen window is explained before the user gives up on it.
inline constexpr std::uint32_t kStopOfferDelayMs = 3000;

class ScriptWatchdog {
 public:
  static constexpr const char* kClassName = "DravikScriptWatchdog";
  static constexpr int kTextId = 301;
  static constexpr int kStopId = 302;

  // Starts the thread and returns once its window exists, hidden; from then on runs tells it of
  // every change. runs and clock must outlive the watchdog.
  ScriptWatchdog(core::ScriptRuns& runs, core::Clock& clock, HINSTANCE instance,
                 std::uint32_t delayMs = kStopOfferDelayMs);
  // Stops listening to runs, ends the window and joins the thread. Called on the window thread,
  // where runs' changes come from.
  ~ScriptWatchdog();
  ScriptWatchdog(const ScriptWatchdog&) = delete;
  ScriptWatchdog& operator=(const ScriptWatchdog&) = delete;

 private:
  template <typename Window>
  friend LRESULT CALLBACK RouteToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Run(HINSTANCE instance, std::promise<void>& ready);
  bool CreateWindowOnThisThread(HINSTANCE instance);
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnCreate();
  void Update();
  void Offer(const std::string& scriptPath);
  void Withdraw();

  core::ScriptRuns& runs_;
  core::Clock& clock_;
  const std::uint32_t delayMs_;
  HWND window_ = nullptr;  // written by the thread before it tells that it is ready, then kept
  WindowTimer offerTimer_{1};  // the delay's end, while the busy script has not reached it
  std::thread thread_;
};

}  // namespace dravik::windows
