#pragma once
// GETARRAYLENGTH and SETARRAYLENGTH, the routines the compiler calls for the length of a dynamic
// array and for resizing one (also when it fills a bracket list). Both take the array as an
// untyped var parameter and answer false when it is no dynamic array.

#include "engine/exec/exec.h"

namespace dravik::engine::library {

// function getarraylength(var arr): Integer; the element count, 0 for an empty array.
bool GetArrayLengthRoutine(exec::TPSExec& exec, exec::TPSExternalProcRec& proc, exec::TPSStack& globals,
                           exec::TPSStack& stack);
// procedure setarraylength(var arr; count: Longint); a shared block is copied first, so the
// variable always ends with its own block. A negative count throws ScriptFault(ErOutOfRange).
bool SetArrayLengthRoutine(exec::TPSExec& exec, exec::TPSExternalProcRec& proc, exec::TPSStack& globals,
                           exec::TPSStack& stack);

}  // namespace dravik::engine::library
