#pragma once
// TPSExec: loads a compiled image and runs it.
//
// The executor keeps the runtime tables of the image (types, procedures, global variables), a
// main stack of value slots shared by all active calls, a constant area for the inline constants
// of the instruction being executed, and the handler frames of the active try blocks. Every
// fault becomes a runtime error code that goes to the innermost script handler or, when none is
// left, suspends the run; no exception ever leaves Run, Load or CallProc.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/exec/proc_records.h"
#include "engine/exec/register_code.h"
#include "engine/exec/stack.h"
#include "engine/image/runtime_error.h"
#include "engine/values/operators.h"
#include "engine/values/type_records.h"

namespace dravik::engine::exec {

enum class ExecStatus : std::uint8_t { kNotLoaded = 0, kLoaded = 1, kRunning = 2, kSuspended = 3 };

// One parameter or the result of a host function, in the callable form: the value (a var
// parameter's pointer already followed to the caller's variable) and how it was passed.
struct ScriptValueRef {
  values::ValueRef value;
  bool byReference = false;
};

// A host function: receives the executor, its parameters in declaration order and the result
// (null for a procedure), and answers success.
using HostFunction = std::function<bool(TPSExec& exec, std::span<const ScriptValueRef> params,
                                        const ScriptValueRef* result)>;

// Calling conventions of RegisterHostFunction; every one is served by the callable form.
enum HostConvention : std::uint8_t { kRegisterConvention = 0, kPascal = 1, kCdecl = 2, kStdcall = 3 };

struct RegisteredRoutine {
  std::string name;  // upper case, at most 255 characters
  std::uint32_t nameHash = 0;
  ProcHandler handler = nullptr;
  std::uintptr_t extra1 = 0;
  std::uintptr_t extra2 = 0;
  InlineRoutine inlineAs = InlineRoutine::kNone;
};

// Binds an external procedure with an empty name (found by its declaration); true when bound.
using ImporterRoutine = bool (*)(TPSExec& exec, TPSExternalProcRec& proc, std::uintptr_t tag);

struct ExportedVariable {
  std::string name;
  std::uint32_t nameHash = 0;
  std::uint32_t index = 0;  // in the global stack
};

// A reported runtime error: what the host and the script's except parts can read.
struct ErrorRecord {
  image::TQXException code = image::ErNoError;
  std::string parameter;
  std::int32_t procNo = -1;
  std::uint32_t position = 0;
  std::exception_ptr object;  // the host exception that caused it, if any
};

// The active protected block of a try statement. Positions are absolute in the procedure's code;
// kNoPosition = none; kExceptRunning in the except position: the except part is running.
struct HandlerFrame {
  static constexpr std::int32_t kNoPosition = -1;
  static constexpr std::int32_t kExceptRunning = -2;

  const TPSInternalProcRec* proc = nullptr;  // null: pushed by CallProc
  std::int32_t frameBase = -1;
  std::size_t stackCount = 0;
  std::int32_t finallyPos = kNoPosition;
  std::int32_t exceptPos = kNoPosition;
  std::int32_t secondFinallyPos = kNoPosition;
  std::int32_t endPos = kNoPosition;
  // Where to go when the block is left after a return or a jump out of it ran its finally part.
  std::int32_t pendingPos = kNoPosition;
  // The error this frame's finally or except part runs for; raised again when the block is left
  // without the except part having handled it.
  std::optional<ErrorRecord> error;
};

class TPSExec : public values::ValueEnvironment {
 public:
  TPSExec();
  ~TPSExec() override;
  TPSExec(const TPSExec&) = delete;
  TPSExec& operator=(const TPSExec&) = delete;

  // --- Loading and running ---------------------------------------------------------------
  virtual bool Load(std::string_view image);
  virtual void Unload();
  virtual void ResetGlobals();
  virtual void Halt();
  virtual void Suspend();
  bool Run();
  // Calls procedure procNo with the given values as parameters (each passed as a pointer to
  // it, in list order). The values must outlive the call.
  bool CallProc(std::span<const values::ValueRef> params, std::uint32_t procNo);

  ExecStatus Status() const { return status_; }

  // Asks a running script to stop; safe to call from any thread. The machine honours the request
  // at the next backward jump or call: the run ends at once as an unhandled error does (no
  // handler of the script takes it), with erCustomError and kStopMessage. The request stays until
  // the next Load, so a script that a stopped one was nested in stops as well.
  void RequestStop() noexcept { stopRequested_.store(true, std::memory_order_relaxed); }
  bool StopRequested() const noexcept { return stopRequested_.load(std::memory_order_relaxed); }
  // Stops the runs that follow, as a stop request does, once they have made this many backward
  // jumps, calls and entries into try blocks (the places where a stop request is honoured),
  // counted alike whichever way the machine runs the code: a bound on the work a script may do.
  void LimitTicks(std::uint64_t ticks) noexcept { ticksLeft_ = ticks == 0 ? 1 : ticks; }
  // A backward jump, a call or a try block's start: whether the run must stop there.
  bool TickStops() noexcept {
    if (--ticksLeft_ == 0) {
      ticksLeft_ = 1;
      return true;
    }
    return StopRequested();
  }
  // Whether the next tick would stop the run, without taking it.
  bool NextTickStops() const noexcept { return ticksLeft_ == 1 || StopRequested(); }
  void TakeTick() noexcept { --ticksLeft_; }
  static constexpr std::string_view kStopMessage = "Stopped on request";
  // Re-initialise the globals after a completed run.
  bool resetGlobalsAfterRun = false;

  // --- Errors ---------------------------------------------------------------------------------
  // The single error path: OnException, then HandleError at the current procedure and position.
  void ReportError(image::TQXException code, std::string_view parameter, std::exception_ptr errorObject = nullptr);
  // Stores the error as the last one; with a non-zero code unwinds to the innermost handler.
  virtual void HandleError(std::int32_t procNo, std::uint32_t position, std::exception_ptr errorObject,
                           std::string_view parameter, image::TQXException code);
  image::TQXException LastError() const { return lastError_.code; }
  const ErrorRecord& LastErrorRecord() const { return lastError_; }
  const std::string& LastErrorParameter() const { return lastError_.parameter; }
  std::int32_t LastErrorProcNo() const { return lastError_.procNo; }
  std::uint32_t LastErrorPosition() const { return lastError_.position; }
  const std::exception_ptr& LastErrorObject() const { return lastError_.object; }
  // Raises the pending error again from where it was first reported.
  void RaiseLastError();

  std::function<void(TPSExec&)> OnRunLine;
  std::function<void(TPSExec&, image::TQXException code, std::string_view parameter, std::uint32_t position,
                     std::int32_t procNo, const std::exception_ptr& errorObject)>
      OnException;
  // A script's notification variant is written (Set: its name and the new value, a variant) or
  // read (Get: its name and a fresh unassigned variant to fill in, which becomes the value read).
  // Unset, such a write or read fails with erCouldNotCallProc.
  std::function<void(TPSExec&, std::string_view name, values::ValueRef value)> OnNotificationVariantSet;
  std::function<void(TPSExec&, std::string_view name, values::ValueRef value)> OnNotificationVariantGet;

  // --- Host routines ----------------------------------------------------------------------
  // The record stays where it is for the executor's life: later registrations do not move it.
  RegisteredRoutine& RegisterRoutine(std::string_view name, ProcHandler handler, std::uintptr_t extra1,
                                     std::uintptr_t extra2);
  // Registers a host function under its upper-cased name; an unknown convention registers
  // nothing.
  void RegisterHostFunction(HostFunction function, std::string_view name, std::uint8_t convention);
  void RegisterImporter(std::string_view declarationPrefix, ImporterRoutine importer, std::uintptr_t tag);
  // Binds an external procedure of the image to the newest matching registration.
  virtual bool ResolveExternal(std::string_view name, TPSExternalProcRec& proc);

  // Host resources released on Unload (and destruction) by calling release(exec, pointer).
  void AddResource(const void* owner, void* pointer, void (*release)(TPSExec&, void*));

  // --- Tables of the loaded image ---------------------------------------------------------
  const std::vector<std::unique_ptr<values::TPSTypeRec>>& Types() const { return types_; }
  const std::vector<std::unique_ptr<TPSProcRec>>& Procs() const { return procs_; }
  TPSStack& Globals() { return globals_; }
  std::size_t GlobalCount() const { return globals_.Count(); }
  values::ValueRef GlobalAt(std::size_t index) const { return globals_.At(index); }
  // The first tcPointer type of the image: the type of the slots OpPushVar and CallProc push.
  const values::TPSTypeRec* FirstPointerType() const { return firstPointerType_; }
  TPSStack& MainStack() { return stack_; }
  std::int32_t MainProcNo() const { return mainProcNo_; }
  const std::vector<ExportedVariable>& ExportedVariables() const { return exportedVariables_; }
  // The global exported under that name (compared case-insensitively); null when none.
  values::ValueRef FindExportedVariable(std::string_view name) const;
  // The number of a procedure record in the procedure list; -1 for none.
  std::int32_t ProcNoOf(const TPSProcRec* proc) const;

  // The record the executor itself uses for variants, return addresses and variant arrays.
  const values::TPSTypeRec& VariantType() const override { return *variantType_; }
  const values::TPSTypeRec& ReturnAddressType() const { return *returnAddressType_; }
  const values::TPSTypeRec& VariantArrayType() const { return *variantArrayType_; }

  const values::TPSTypeRec* TypeByNumber(std::uint32_t number) const override;
  bool IsObjectOfClass(const void* object, std::string_view className) const override;

  // The current procedure and position, for host routines that report where they were called.
  const TPSInternalProcRec* CurrentProc() const { return currentProc_; }
  std::uint32_t CurrentPosition() const { return position_; }

 protected:
  // Called before each instruction when WantsStepHook() answers true or OnRunLine is set.
  virtual void OnStep() {}
  virtual bool WantsStepHook() const { return false; }

 private:
  friend class Interpreter;
  friend class ImageLoader;

  struct Resource {
    const void* owner;
    void* pointer;
    void (*release)(TPSExec&, void*);
  };
  struct Importer {
    std::string prefix;
    std::uint32_t prefixHash;
    ImporterRoutine routine;
    std::uintptr_t tag;
  };

  // Handler frames and returns (handlers.cpp).
  bool EnterFrame(HandlerFrame& frame);
  bool IsReturnAddressSlot(std::size_t index) const;
  void JumpToPart(std::int32_t& part);
  void EnterExceptPart(HandlerFrame& frame);
  bool JumpToFinallyPart(HandlerFrame& frame);
  void LeaveBlock();
  void PopHandler(std::uint8_t kind);
  void ReturnFromProc(std::uint32_t returnPosition);
  bool BelongsToCurrentProc(const HandlerFrame& frame) const;
  void Reraise(ErrorRecord error);
  void RestoreOuterError();

  // Calls (exec.cpp).
  void EnterProc(const TPSInternalProcRec& proc, std::uint32_t position) {
    currentProc_ = &proc;
    code_ = reinterpret_cast<const std::uint8_t*>(proc.code.data());
    codeLength_ = static_cast<std::uint32_t>(proc.code.size());
    position_ = position;
  }
  void CallScriptProc(const TPSInternalProcRec& proc, const TPSInternalProcRec* returnProc);
  bool CallHostProc(TPSExternalProcRec& proc);
  void ReportCaughtException(std::exception_ptr caught);
  void NotifyException(image::TQXException code, std::string_view parameter, std::uint32_t position,
                       std::int32_t procNo, const std::exception_ptr& errorObject);
  void ReleaseResources();
  void ClearError();
  // Ends the run for a stop request: every handler frame goes, then the error is reported.
  void StopRun();

  ExecStatus status_ = ExecStatus::kNotLoaded;
  ExecStatus returnStatus_ = ExecStatus::kLoaded;  // what a finished Run goes back to
  std::int32_t mainProcNo_ = -1;
  std::vector<std::unique_ptr<values::TPSTypeRec>> types_;
  const values::TPSTypeRec* firstPointerType_ = nullptr;
  std::vector<std::unique_ptr<TPSProcRec>> procs_;
  TPSStack globals_;
  TPSStack stack_;
  TPSStack constants_;
  std::vector<HandlerFrame> handlers_;
  std::vector<ExportedVariable> exportedVariables_;
  std::vector<Resource> resources_;
  std::deque<RegisteredRoutine> routines_;  // a deque: adding keeps earlier records in place
  std::vector<std::unique_ptr<HostFunction>> hostFunctions_;
  std::vector<Importer> importers_;

  const TPSInternalProcRec* currentProc_ = nullptr;
  const std::uint8_t* code_ = nullptr;
  std::uint32_t codeLength_ = 0;
  std::uint32_t position_ = 0;
  std::int32_t frameBase_ = -1;
  bool flag_ = false;
  ErrorRecord lastError_;
  // Counts the errors reported or raised again, so that a host call can tell whether it reported
  // one and the register machine whether its frame was left for a handler.
  std::uint32_t errorsReported_ = 0;
  int callProcDepth_ = 0;
  std::atomic<bool> stopRequested_{false};
  std::uint64_t ticksLeft_ = UINT64_MAX;
  // How the main procedure's frame runs, and where its first local lies when it runs in the
  // register form; the frames of called procedures keep this in their return address.
  FrameMode mainFrameMode_ = FrameMode::kUnchecked;
  std::uint8_t* mainFrameStart_ = nullptr;

  std::unique_ptr<values::TPSTypeRec> returnAddressType_;
  std::unique_ptr<values::TPSTypeRec> variantType_;
  std::unique_ptr<values::TPSTypeRec> variantArrayType_;
};

}  // namespace dravik::engine::exec
