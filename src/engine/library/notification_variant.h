#pragma once
// !NOTIFICATIONVARIANTSET and !NOTIFICATIONVARIANTGET: the routines through which a script's
// notification variants are written and read, handed on to the executor's
// OnNotificationVariantSet and OnNotificationVariantGet events. Without the event they answer
// false (so the machine reports erCouldNotCallProc).

#include "engine/exec/exec.h"

namespace dravik::engine::library {

// Parameters: the variable's name (string), the new value (variant).
bool NotificationVariantSetRoutine(exec::TPSExec& exec, exec::TPSExternalProcRec& proc, exec::TPSStack& globals,
                                   exec::TPSStack& stack);
// Parameter: the variable's name; result: a variant, copied from the one the event fills in.
bool NotificationVariantGetRoutine(exec::TPSExec& exec, exec::TPSExternalProcRec& proc, exec::TPSStack& globals,
                                   exec::TPSStack& stack);

}  // namespace dravik::engine::library
