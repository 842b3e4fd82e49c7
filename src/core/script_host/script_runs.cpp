#include "core/script_host/script_runs.h"

#include <algorithm>

#include "engine/engine.h"

namespace dravik::core {

ScriptRuns::ScriptRuns(Clock& clock, Application& application) : clock_(clock), application_(application) {}

ScriptRuns::Running::Running(ScriptRuns& runs, engine::Script& script, std::string scriptPath) : runs_(runs) {
  runs_.Push({&script, std::move(scriptPath)});
}

ScriptRuns::Running::~Running() { runs_.Pop(); }

ScriptRuns::Responsive::Responsive(ScriptRuns& runs) : runs_(runs) { runs_.Push({nullptr, {}}); }

ScriptRuns::Responsive::~Responsive() { runs_.Pop(); }

// A script that starts inside another's run (a script's MountFile starting the mount script)
// goes on keeping the thread busy: the time counts from the outer one's start.
void ScriptRuns::Push(Frame frame) {
  {
    const std::lock_guard lock(mutex_);
    if (frame.script != nullptr && !ThreadBusy()) busySince_ = clock_.TickCount();
    if (frame.script != nullptr && stopping_) frame.script->RequestStop();
    frames_.push_back(std::move(frame));
  }
  if (onChange_) onChange_();
}

// Back from handling messages, a script starts a fresh busy time; back from a nested script, the
// outer one's busy time goes on.
void ScriptRuns::Pop() {
  {
    const std::lock_guard lock(mutex_);
    const bool wasResponsive = frames_.back().script == nullptr;
    frames_.pop_back();
    if (wasResponsive && ThreadBusy()) busySince_ = clock_.TickCount();
    const bool anyRunning =
        std::any_of(frames_.begin(), frames_.end(), [](const Frame& f) { return f.script != nullptr; });
    if (!anyRunning) stopping_ = false;
  }
  if (onChange_) onChange_();
}

std::optional<ScriptRuns::Busy> ScriptRuns::BusyScript() const {
  const std::lock_guard lock(mutex_);
  if (!ThreadBusy()) return std::nullopt;
  return ScriptRuns::Busy{frames_.back().scriptPath, busySince_};
}

void ScriptRuns::StopAll() {
  {
    const std::lock_guard lock(mutex_);
    for (const Frame& frame : frames_) {
      if (frame.script == nullptr) continue;
      frame.script->RequestStop();
      stopping_ = true;
    }
    if (!stopping_) return;
  }
  application_.Wake();
}

bool ScriptRuns::StopRequested() const {
  const std::lock_guard lock(mutex_);
  return stopping_;
}

}  // namespace dravik::core
