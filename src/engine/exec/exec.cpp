#include "engine/exec/exec.h"

#include <algorithm>
#include <new>

#include "engine/library/runtime_library.h"
#include "engine/names/names.h"
#include "engine/values/script_fault.h"
#include "engine/values/pointer_value.h"
#include "engine/values/script_fault.h"
#include "engine/values/value_memory.h"

namespace dravik::engine::exec {

namespace {

constexpr std::size_t kMaxRoutineNameLength = 255;
// CallProc runs the script on the host's own call stack; a host routine that calls back into
// the script, which calls the host routine again, must end before that stack does.
constexpr int kMaxCallProcDepth = 64;

std::unique_ptr<values::TPSTypeRec> MakeOwnType(std::unique_ptr<values::TPSTypeRec> type) {
  type->CalcSize();
  return type;
}

}  // namespace

TPSExec::TPSExec()
    : returnAddressType_(MakeOwnType(std::make_unique<values::TPSTypeRec>(image::tcReturnAddress))),
      variantType_(MakeOwnType(std::make_unique<values::TPSTypeRec>(image::tcVariant))),
      variantArrayType_(MakeOwnType(std::make_unique<values::TPSTypeRec_Array>(variantType_.get()))) {
  library::RegisterRuntimeLibrary(*this);
}

TPSExec::~TPSExec() { Unload(); }

// --- Lifecycle -----------------------------------------------------------------------------

void TPSExec::Unload() {
  handlers_.clear();
  ReleaseResources();
  exportedVariables_.clear();
  stack_.Clear();
  constants_.Clear();
  globals_.Clear();
  procs_.clear();
  types_.clear();
  firstPointerType_ = nullptr;
  mainProcNo_ = -1;
  currentProc_ = nullptr;
  code_ = nullptr;
  codeLength_ = 0;
  position_ = 0;
  frameBase_ = -1;
  status_ = ExecStatus::kNotLoaded;
}

void TPSExec::ResetGlobals() {
  if (status_ != ExecStatus::kLoaded) return;
  stack_.Clear();
  constants_.Clear();
  for (std::size_t i = 0; i < globals_.Count(); ++i) values::FinalizeValue(globals_.ValueAt(i), globals_.TypeAt(i));
}

void TPSExec::Halt() {
  if (status_ == ExecStatus::kRunning) {
    status_ = ExecStatus::kLoaded;
  } else if (status_ == ExecStatus::kSuspended) {
    status_ = ExecStatus::kLoaded;
    stack_.Clear();
    constants_.Clear();
  }
}

void TPSExec::Suspend() {
  if (status_ == ExecStatus::kRunning) status_ = ExecStatus::kSuspended;
}

void TPSExec::AddResource(const void* owner, void* pointer, void (*release)(TPSExec&, void*)) {
  resources_.push_back({owner, pointer, release});
}

void TPSExec::ReleaseResources() {
  std::vector<Resource> resources = std::move(resources_);
  resources_.clear();
  for (const Resource& resource : resources)
    if (resource.release != nullptr) resource.release(*this, resource.pointer);
}

// --- Tables --------------------------------------------------------------------------------

const values::TPSTypeRec* TPSExec::TypeByNumber(std::uint32_t number) const {
  return number < types_.size() ? types_[number].get() : nullptr;
}

bool TPSExec::IsObjectOfClass(const void*, std::string_view) const {
  return false;  // this system makes no host classes known to scripts
}

std::int32_t TPSExec::ProcNoOf(const TPSProcRec* proc) const { return proc == nullptr ? -1 : proc->number; }

values::ValueRef TPSExec::FindExportedVariable(std::string_view name) const {
  const std::string upper = names::FastUpperCase(name);
  const std::uint32_t hash = names::NameHash(upper);
  for (const ExportedVariable& variable : exportedVariables_)
    if (variable.nameHash == hash && variable.name == upper) return globals_.At(variable.index);
  return {};
}

// --- Errors --------------------------------------------------------------------------------

void TPSExec::ClearError() { lastError_ = ErrorRecord{}; }

void TPSExec::ReportError(image::TQXException code, std::string_view parameter, std::exception_ptr errorObject) {
  const std::int32_t procNo = ProcNoOf(currentProc_);
  NotifyException(code, parameter, position_, procNo, errorObject);
  HandleError(procNo, position_, std::move(errorObject), parameter, code);
}

// Tells OnException. What the event throws is dropped: it cannot be reported while an error is
// being reported, and it must not leave the executor.
void TPSExec::NotifyException(image::TQXException code, std::string_view parameter, std::uint32_t position,
                              std::int32_t procNo, const std::exception_ptr& errorObject) {
  if (!OnException) return;
  try {
    OnException(*this, code, parameter, position, procNo, errorObject);
  } catch (...) {
  }
}

// Turns whatever a value operation, an instruction or a host routine threw into a reported
// error.
void TPSExec::ReportCaughtException(std::exception_ptr caught) {
  try {
    std::rethrow_exception(caught);
  } catch (const values::ScriptFault& fault) {
    ReportError(fault.Code(), fault.Parameter());
  } catch (const values::EPSException& exception) {
    NotifyException(image::erCustomError, exception.what(), exception.Position(), exception.ProcNo(), caught);
    HandleError(exception.ProcNo(), exception.Position(), caught, exception.what(), image::erCustomError);
  } catch (const std::bad_alloc&) {
    ReportError(image::erOutOfMemory, {});
  } catch (const std::exception& exception) {
    ReportError(image::erException, exception.what(), caught);
  } catch (...) {
    ReportError(image::erException, {}, caught);
  }
}

void TPSExec::RaiseLastError() { Reraise(lastError_); }

void TPSExec::StopRun() {
  handlers_.clear();
  ReportError(image::erCustomError, kStopMessage);
}

// --- Running -------------------------------------------------------------------------------

// Pushes the return address (returnProc, the current position and frame base) and enters proc.
void TPSExec::CallScriptProc(const TPSInternalProcRec& proc, const TPSInternalProcRec* returnProc) {
  void* slot = stack_.Push(*returnAddressType_);
  values::Store(static_cast<std::uint8_t*>(slot) + values::ReturnAddressLayout::kProc, returnProc);
  values::Store(static_cast<std::uint8_t*>(slot) + values::ReturnAddressLayout::kPosition, position_);
  values::Store(static_cast<std::uint8_t*>(slot) + values::ReturnAddressLayout::kFrameBase, frameBase_);
  values::Store(static_cast<std::uint8_t*>(slot) + values::ReturnAddressLayout::kResume, std::int32_t{-1});
  frameBase_ = static_cast<std::int32_t>(stack_.Count() - 1);
  EnterProc(proc, 0);
}

// Calls a host procedure's handler; exceptions it throws are reported, and a failure it did not
// report itself becomes erCouldNotCallProc.
bool TPSExec::CallHostProc(TPSExternalProcRec& proc) {
  const std::uint32_t reportedBefore = errorsReported_;
  bool ok = false;
  try {
    ok = proc.handler != nullptr && proc.handler(*this, proc, globals_, stack_);
  } catch (...) {
    ReportCaughtException(std::current_exception());
    return false;
  }
  if (!ok && errorsReported_ == reportedBefore) ReportError(image::erCouldNotCallProc, {});
  return ok;
}

bool TPSExec::CallProc(std::span<const values::ValueRef> params, std::uint32_t procNo) {
  if (status_ == ExecStatus::kNotLoaded) return false;
  if (procNo >= procs_.size()) {
    ReportError(image::erOutOfProcRange, {});
    return false;
  }
  if (callProcDepth_ >= kMaxCallProcDepth || firstPointerType_ == nullptr) {
    ReportError(callProcDepth_ >= kMaxCallProcDepth ? image::erOutOfStackRange : image::erInvalidType, {});
    return false;
  }
  const std::size_t stackBefore = stack_.Count();
  const ExecStatus statusBefore = status_;
  const TPSInternalProcRec* procBefore = currentProc_;
  const std::uint32_t positionBefore = position_;
  const std::int32_t frameBaseBefore = frameBase_;
  const std::size_t handlersBefore = handlers_.size();
  ++callProcDepth_;
  bool result = false;
  try {
    for (const values::ValueRef& param : params)
      values::SetPointerAt(stack_.Push(*firstPointerType_), values::PointerTo(param));
    TPSProcRec& proc = *procs_[procNo];
    if (proc.IsExternal()) {
      result = CallHostProc(static_cast<TPSExternalProcRec&>(proc));
    } else {
      // A barrier frame: an error the called procedure does not handle stops here instead of
      // unwinding into the handlers of whatever script called the host.
      HandlerFrame barrier;
      barrier.stackCount = stack_.Count();
      handlers_.push_back(std::move(barrier));
      CallScriptProc(static_cast<const TPSInternalProcRec&>(proc), nullptr);
      status_ = ExecStatus::kSuspended;
      result = Run();
    }
  } catch (...) {
    ReportCaughtException(std::current_exception());
  }
  --callProcDepth_;
  if (handlers_.size() > handlersBefore) handlers_.resize(handlersBefore);
  if (status_ != ExecStatus::kNotLoaded) {
    stack_.PopTo(std::min(stack_.Count(), stackBefore));
    status_ = statusBefore;
    currentProc_ = procBefore;
    if (procBefore != nullptr) EnterProc(*procBefore, positionBefore);
    frameBase_ = frameBaseBefore;
  }
  return result && lastError_.code == image::ErNoError;
}

// --- Host routines -------------------------------------------------------------------------

RegisteredRoutine& TPSExec::RegisterRoutine(std::string_view name, ProcHandler handler, std::uintptr_t extra1,
                                            std::uintptr_t extra2) {
  RegisteredRoutine routine;
  routine.name = names::FastUpperCase(name.substr(0, std::min(name.size(), kMaxRoutineNameLength)));
  routine.nameHash = names::NameHash(routine.name);
  routine.handler = handler;
  routine.extra1 = extra1;
  routine.extra2 = extra2;
  routines_.push_back(std::move(routine));
  return routines_.back();
}

void TPSExec::RegisterImporter(std::string_view declarationPrefix, ImporterRoutine importer, std::uintptr_t tag) {
  importers_.push_back({std::string(declarationPrefix), names::NameHash(declarationPrefix), importer, tag});
}

bool TPSExec::ResolveExternal(std::string_view name, TPSExternalProcRec& proc) {
  if (!name.empty()) {
    const std::uint32_t hash = names::NameHash(name);
    for (auto it = routines_.rbegin(); it != routines_.rend(); ++it) {
      if (it->nameHash != hash || it->name != name) continue;
      proc.handler = it->handler;
      proc.extra1 = it->extra1;
      proc.extra2 = it->extra2;
      proc.inlineAs = it->inlineAs;
      return true;
    }
    return false;
  }
  const std::string_view declaration = proc.declaration;
  const std::size_t colon = declaration.find(':');
  const std::string_view prefix = colon == std::string_view::npos ? std::string_view{} : declaration.substr(0, colon);
  const std::uint32_t hash = names::NameHash(prefix);
  for (auto it = importers_.rbegin(); it != importers_.rend(); ++it) {
    const bool matches = it->prefix.empty() || (it->prefixHash == hash && it->prefix == prefix);
    if (matches && it->routine(*this, proc, it->tag)) return true;
  }
  return false;
}

}  // namespace dravik::engine::exec
