#include "platform/win32/system_ansi_case.h"

#include <span>
#include <string>

#include "engine/exec/exec.h"
#include "engine/values/value_access.h"

// Last: windows.h defines LoadImage as a macro, which must not reach the executor's declaration.
#include <windows.h>

namespace dravik::platform {

namespace {

using Converter = DWORD(WINAPI*)(LPSTR text, DWORD length);

// Converts a copy of the one string parameter in place; a script string (at most 64 MB) always
// fits the DWORD length.
engine::HostFunction CaseFunction(Converter convert) {
  return [convert](engine::TPSExec&, std::span<const engine::ScriptValueRef> params,
                   const engine::ScriptValueRef* result) {
    if (params.size() != 1 || result == nullptr) return false;
    std::string text = engine::GetString(params[0].value);
    if (!text.empty()) convert(text.data(), static_cast<DWORD>(text.size()));
    engine::SetString(result->value, text);
    return true;
  };
}

}  // namespace

void RegisterSystemAnsiCase(engine::TPSExec& exec) {
  exec.RegisterHostFunction(CaseFunction(CharUpperBuffA), "ANSIUPPERCASE", engine::kRegisterConvention);
  exec.RegisterHostFunction(CaseFunction(CharLowerBuffA), "ANSILOWERCASE", engine::kRegisterConvention);
}

}  // namespace dravik::platform
