#pragma once
// The importer for external procedures found by a declaration that begins with "intf": calls of
// interface methods through the interface's method table. No interface object can exist in this
// system (no host object is ever made known to scripts), so the importer binds every such
// procedure, letting the image load, and a call fails with a host exception carrying
// kInterfaceCallsUnavailable, which the script sees as erException.

#include <string_view>

#include "engine/exec/exec.h"

namespace dravik::engine::library {

inline constexpr std::string_view kInterfaceDeclarationPrefix = "intf";
inline constexpr const char* kInterfaceCallsUnavailable = "Interface method calls are not available on this system";

bool ImportInterfaceMethod(exec::TPSExec& exec, exec::TPSExternalProcRec& proc, std::uintptr_t tag);

}  // namespace dravik::engine::library
