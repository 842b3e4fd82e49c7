#pragma once
// Running test scripts: a script is compiled with a few host routines declared in the unit
// "SYSTEM", loaded into a TPSExec that has those routines registered, and run. The routines
// print into `out` (items separated by one blank) and let the script look at the executor.
// Every reported error is recorded as "code@procedure:position".

#include <array>
#include <cstdint>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "../compiler/compile_helper.h"
#include "engine/exec/exec.h"
#include "engine/values/script_fault.h"
#include "engine/values/value_access.h"
#include "engine/values/value_memory.h"

namespace dravik::engine::testing {

inline constexpr std::array<std::string_view, 14> kTestHostDeclarations = {
    "procedure Print(s: string)",
    "procedure PrintInt(i: Longint)",
    // Doubles n and s, overwrites copy, and prints how each came ("ref" or "val").
    "procedure HostDouble(var n: Longint; var s: string; copy: string)",
    // The code and the text of the error pending now (0 and "No Error" when none).
    "function PendingError: Longint",
    "function PendingText: string",
    // Throws a host exception with the message.
    "procedure Fail(message: string)",
    // Throws, by kind: 0 a host exception "host", 1 EPSException("custom") for procedure 7 at
    // position 99, 2 ScriptFault(ErMathError), 3 std::bad_alloc, 4 something that is no
    // std::exception.
    "procedure Throw(kind: Longint)",
    // Answers false without reporting anything.
    "procedure Refuse",
    "procedure HostHalt",
    "procedure HostSuspend",
    "procedure HostUnload",
    // The main stack's slot count at the moment of the call.
    "function StackDepth: Longint",
    // Calls the script procedure of that name from the host with n as its one parameter, and
    // prints what CallProc answered.
    "procedure CallBack(name: string; n: Longint)",
    // Asks the executor to stop, as another thread would.
    "procedure RequestStop",
};

class ScriptRun {
 public:
  explicit ScriptRun(std::string_view script, Listing listing = Listing::kMake) {
    compiler::TPSPascalCompiler compiler;
    compiler.OnUses = [](compiler::TPSPascalCompiler& c, const std::string& unit) {
      if (unit != "SYSTEM") return false;
      for (std::string_view declaration : kTestHostDeclarations) c.AddHostRoutine(declaration);
      return true;
    };
    compiled = CompileWith(compiler, script, listing);
    exec.OnException = [this](exec::TPSExec&, image::TQXException code, std::string_view, std::uint32_t position,
                              std::int32_t procNo, const std::exception_ptr&) {
      errors.push_back(std::to_string(code) + "@" + std::to_string(procNo) + ":" + std::to_string(position));
    };
    RegisterHostRoutines();
    if (compiled.ok) loaded = exec.Load(compiled.image);
  }
  ScriptRun(const ScriptRun&) = delete;
  ScriptRun& operator=(const ScriptRun&) = delete;

  // Why the script did not get as far as running; empty when it loaded.
  std::string Problem() const {
    if (!compiled.ok)
      return "compile: " + (compiled.messages.empty() ? std::string() : compiled.messages.back());
    if (!loaded) return "load: " + image::ErrorToText(exec.LastError(), exec.LastErrorParameter());
    return {};
  }

  bool Run() { return exec.Run(); }

  // The number of the script procedure exported under that (upper-case) name; -1 when none.
  std::int32_t ProcNo(std::string_view name) const {
    for (std::size_t i = 0; i < exec.Procs().size(); ++i) {
      const auto* proc = dynamic_cast<const exec::TPSInternalProcRec*>(exec.Procs()[i].get());
      if (proc != nullptr && proc->exportName == name) return static_cast<std::int32_t>(i);
    }
    return -1;
  }

  // Global variable number i (declaration order) read as an integer or a string.
  std::int32_t GlobalInt(std::size_t i) { return values::GetInt32(exec.Globals().At(i)); }
  std::string GlobalString(std::size_t i) { return values::GetString(exec.Globals().At(i)); }

  void Emit(std::string_view item) {
    if (!out.empty()) out += ' ';
    out += item;
  }

  Compiled compiled;
  exec::TPSExec exec;
  bool loaded = false;
  std::string out;
  std::vector<std::string> errors;

 private:
  using Params = std::span<const exec::ScriptValueRef>;

  void Register(std::string_view name, exec::HostFunction function) {
    exec.RegisterHostFunction(std::move(function), name, exec::kRegisterConvention);
  }

  void RegisterHostRoutines() {
    Register("PRINT", [this](exec::TPSExec&, Params p, const exec::ScriptValueRef*) {
      Emit(values::GetString(p[0].value));
      return true;
    });
    Register("PRINTINT", [this](exec::TPSExec&, Params p, const exec::ScriptValueRef*) {
      Emit(std::to_string(values::GetInt32(p[0].value)));
      return true;
    });
    Register("HOSTDOUBLE", [this](exec::TPSExec&, Params p, const exec::ScriptValueRef*) {
      values::SetInt32(p[0].value, values::GetInt32(p[0].value) * 2);
      values::SetString(p[1].value, values::GetString(p[1].value) + values::GetString(p[1].value));
      values::SetString(p[2].value, "changed");
      Emit(std::string(p[0].byReference ? "ref" : "val") + (p[1].byReference ? "ref" : "val") +
           (p[2].byReference ? "ref" : "val"));
      return true;
    });
    Register("PENDINGERROR", [](exec::TPSExec& e, Params, const exec::ScriptValueRef* result) {
      values::SetInt32(result->value, e.LastError());
      return true;
    });
    Register("PENDINGTEXT", [](exec::TPSExec& e, Params, const exec::ScriptValueRef* result) {
      values::SetString(result->value, image::ErrorToText(e.LastError(), e.LastErrorParameter()));
      return true;
    });
    Register("FAIL", [](exec::TPSExec&, Params p, const exec::ScriptValueRef*) -> bool {
      throw values::HostException(values::GetString(p[0].value));
    });
    Register("THROW", [](exec::TPSExec&, Params p, const exec::ScriptValueRef*) -> bool {
      switch (values::GetInt32(p[0].value)) {
        case 0:
          throw values::HostException("host");
        case 1:
          throw values::EPSException("custom", 7, 99);
        case 2:
          throw values::ScriptFault(image::ErMathError);
        case 3:
          throw std::bad_alloc();
        default:
          throw 4;
      }
    });
    Register("REFUSE", [](exec::TPSExec&, Params, const exec::ScriptValueRef*) { return false; });
    Register("HOSTHALT", [](exec::TPSExec& e, Params, const exec::ScriptValueRef*) {
      e.Halt();
      return true;
    });
    Register("HOSTSUSPEND", [](exec::TPSExec& e, Params, const exec::ScriptValueRef*) {
      e.Suspend();
      return true;
    });
    Register("HOSTUNLOAD", [](exec::TPSExec& e, Params, const exec::ScriptValueRef*) {
      e.Unload();
      return true;
    });
    Register("STACKDEPTH", [](exec::TPSExec& e, Params, const exec::ScriptValueRef* result) {
      values::SetInt32(result->value, static_cast<std::int32_t>(e.MainStack().Count()));
      return true;
    });
    Register("REQUESTSTOP", [](exec::TPSExec& e, Params, const exec::ScriptValueRef*) {
      e.RequestStop();
      return true;
    });
    Register("CALLBACK", [this](exec::TPSExec& e, Params p, const exec::ScriptValueRef*) {
      const std::int32_t procNo = ProcNo(values::GetString(p[0].value));
      const bool ok =
          e.CallProc(std::span<const values::ValueRef>(&p[1].value, 1), static_cast<std::uint32_t>(procNo));
      Emit(ok ? "true" : "false");
      return true;
    });
  }
};

}  // namespace dravik::engine::testing
