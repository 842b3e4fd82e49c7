#include "platform/win32/system_ansi_case.h"

#include <span>
#include <string>

#include <windows.h>

#include "engine/engine.h"

namespace dravik::platform {

namespace {

using Converter = DWORD(WINAPI*)(LPSTR text, DWORD length);

// Converts a copy of the one string parameter in place; a script string (at most 64 MB) always
// fits the DWORD length.
engine::HostRoutine CaseFunction(Converter convert) {
  return [convert](std::span<const engine::HostValue> params, const engine::HostValue* result) {
    if (params.size() != 1 || result == nullptr) return false;
    std::string text = params[0].Text();
    if (!text.empty()) convert(text.data(), static_cast<DWORD>(text.size()));
    result->SetText(text);
    return true;
  };
}

}  // namespace

void BindSystemAnsiCase(engine::Script& script) {
  script.Bind("ANSIUPPERCASE", CaseFunction(CharUpperBuffA));
  script.Bind("ANSILOWERCASE", CaseFunction(CharLowerBuffA));
}

}  // namespace dravik::platform
