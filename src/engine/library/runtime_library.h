#pragma once
// The built-in routines every script may call without the host declaring or registering them.

namespace dravik::engine::exec {
class TPSExec;
}

namespace dravik::engine::library {

// Registers the runtime side of every built-in routine, and the "intf" importer, in exec. The
// executor calls it from its constructor, before the host can register anything, so a host
// routine of the same name registered later takes precedence.
void RegisterRuntimeLibrary(exec::TPSExec& exec);

}  // namespace dravik::engine::library
