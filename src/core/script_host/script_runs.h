#pragma once
// The scripts running on the window thread, nested ones included, as another thread sees them:
// whether the innermost one keeps the window thread from its messages, since when, and a way to
// stop them all. A script keeps the thread from its messages from the moment it starts or comes
// back from waiting until it waits again or ends; while a script waits (Wait, or an error box is
// shown), the thread handles messages, and a script started by a handler inside that wait keeps
// it from them again.
//
// Running and Responsive are made and ended on the window thread only, in nested order.
// StopAll, StopRequested and BusyScript may be called from any thread.

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/platform/application.h"
#include "core/platform/clock.h"

namespace dravik::engine {
class Script;
}

namespace dravik::core {

class ScriptRuns {
 public:
  ScriptRuns(Clock& clock, Application& application);
  ScriptRuns(const ScriptRuns&) = delete;
  ScriptRuns& operator=(const ScriptRuns&) = delete;

  // While it lives, the script at scriptPath runs as script. A run that starts while a stop is
  // being carried out is asked to stop at once.
  class Running {
   public:
    Running(ScriptRuns& runs, engine::Script& script, std::string scriptPath);
    ~Running();
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

   private:
    ScriptRuns& runs_;
  };

  // While it lives, the window thread handles its messages on behalf of the running script.
  class Responsive {
   public:
    explicit Responsive(ScriptRuns& runs);
    ~Responsive();
    Responsive(const Responsive&) = delete;
    Responsive& operator=(const Responsive&) = delete;

   private:
    ScriptRuns& runs_;
  };

  struct Busy {
    std::string scriptPath;  // the innermost running script
    std::uint32_t since;     // the clock's tick count from which it has kept the thread busy
  };
  // The innermost script when it keeps the window thread from its messages; nothing when no
  // script runs or the thread handles its messages.
  std::optional<Busy> BusyScript() const;

  // Asks every running script to stop (at its next backward jump, call or try block) and wakes a
  // waiting window thread. Until no script runs any more, StopRequested answers true and scripts
  // that start are stopped too. Nothing happens when no script runs.
  void StopAll();
  bool StopRequested() const;

  // Called on the window thread after every change of BusyScript(); an empty one calls nothing.
  void SetOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }

 private:
  struct Frame {
    engine::Script* script;  // null: the thread handles its messages
    std::string scriptPath;
  };
  void Push(Frame frame);
  void Pop();
  bool ThreadBusy() const { return !frames_.empty() && frames_.back().script != nullptr; }

  Clock& clock_;
  Application& application_;
  mutable std::mutex mutex_;
  std::vector<Frame> frames_;
  std::uint32_t busySince_ = 0;
  bool stopping_ = false;
  std::function<void()> onChange_;
};

}  // namespace dravik::core
