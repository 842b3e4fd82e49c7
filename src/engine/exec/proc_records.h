#pragma once
// Procedure records of a loaded image: script procedures with their own copy of the code, and
// external procedures bound to a host routine at load time.

#include <cstdint>
#include <memory>
#include <string>

#include "engine/values/type_records.h"

namespace dravik::engine::exec {

class TPSExec;
class TPSStack;
class TPSExternalProcRec;
class RegisterCode;

// A host routine as the machine calls it: the parameters are at the top of the main stack
// (result at -1 for a function, the first parameter next below; a var parameter's slot is a
// pointer to the caller's variable) and must be left as they are. True when the call succeeded;
// false without a reported error makes the machine report erCouldNotCallProc.
using ProcHandler = bool (*)(TPSExec& exec, TPSExternalProcRec& proc, TPSStack& globals, TPSStack& stack);

// Built-in routines the register form runs in place of calling them, for the shapes of call it
// knows (the register form repeats their few lines; the library's handler stays the meaning).
enum class InlineRoutine : std::uint8_t { kNone, kLength, kStrGet };

class TPSProcRec {
 public:
  explicit TPSProcRec(TPSExec& owner) : owner(owner) {}
  virtual ~TPSProcRec() = default;
  TPSProcRec(const TPSProcRec&) = delete;
  TPSProcRec& operator=(const TPSProcRec&) = delete;

  virtual bool IsExternal() const = 0;

  TPSExec& owner;
  std::int32_t number = -1;  // place in the procedure list
  values::TPSRuntimeAttributes attributes;
};

class TPSInternalProcRec : public TPSProcRec {
 public:
  using TPSProcRec::TPSProcRec;
  bool IsExternal() const override { return false; }

  std::string code;  // copied out of the image; positions are offsets in here
  std::string exportName;
  std::uint32_t exportNameHash = 0;
  std::string exportDeclaration;
  // The register form (register_code.h), made when the procedure is first entered; null when it
  // runs from its byte code only.
  mutable std::shared_ptr<const RegisterCode> registerCode;
  mutable bool translated = false;
};

class TPSExternalProcRec : public TPSProcRec {
 public:
  using TPSProcRec::TPSProcRec;
  bool IsExternal() const override { return true; }

  std::string name;         // upper case; empty when the routine is found by its declaration
  std::string declaration;  // call declaration: result byte, then one byte per parameter
  ProcHandler handler = nullptr;
  std::uintptr_t extra1 = 0;
  std::uintptr_t extra2 = 0;
  InlineRoutine inlineAs = InlineRoutine::kNone;
};

}  // namespace dravik::engine::exec
