#pragma once
// The variant routines (UNASSIGNED, VARISEMPTY, NULL, VARISNULL, VARTYPE) and IDISPATCHINVOKE,
// registered as host functions in the callable form. Each answers false when its parameters or
// result are not of the types its declaration names.
//
// IDISPATCHINVOKE: no dispatch interface can exist in this system (no host object is ever made
// known to scripts), so a late-bound call always fails with a host exception carrying
// kLateBoundCallsUnavailable, which the script sees as erException.

#include "engine/exec/exec.h"
#include "engine/library/builtin_routines.h"

namespace dravik::engine::library {

inline constexpr const char* kLateBoundCallsUnavailable =
    "IDispatchInvoke: late-bound calls are not available on this system";

// The host function behind a variant routine of kBuiltinRoutines (Unassigned, VarIsEmpty, Null,
// VarIsNull, VarType, IDispatchInvoke).
exec::HostFunction VariantRoutine(Handler handler);

}  // namespace dravik::engine::library
