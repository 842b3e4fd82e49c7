#pragma once
// The handler behind every routine of kBuiltinRoutines served by number: it reads the routine number from the
// procedure record's second extra word and performs that routine. It answers false for a number
// without a routine, for a call whose shape is not the routine's, and where a var parameter is
// not a variable of the base type the routine changes (so the machine reports
// erCouldNotCallProc).

#include "engine/exec/exec.h"

namespace dravik::engine::library {

bool DispatchLibraryRoutine(exec::TPSExec& exec, exec::TPSExternalProcRec& proc, exec::TPSStack& globals,
                            exec::TPSStack& stack);

}  // namespace dravik::engine::library
