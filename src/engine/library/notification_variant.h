#pragma once
// !NOTIFICATIONVARIANTSET and !NOTIFICATIONVARIANTGET: the routines through which a script's
// notification variants are written and read, handed on to the executor's
// OnNotificationVariantSet and OnNotificationVariantGet events. Without the event they answer
// false (so the machine reports erCouldNotCallProc).

#include "engine/exec/exec.h"

namespace dravik::engine {

// Parameters: the variable's name (string), the new value (variant).
bool NotificationVariantSetRoutine(TPSExec& exec, TPSExternalProcRec& proc, TPSStack& globals, TPSStack& stack);
// Parameter: the variable's name; result: a variant, copied from the one the event fills in.
bool NotificationVariantGetRoutine(TPSExec& exec, TPSExternalProcRec& proc, TPSStack& globals, TPSStack& stack);

}  // namespace dravik::engine
