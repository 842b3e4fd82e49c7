#pragma once
// AnsiUppercase and AnsiLowercase by the rules of the system's ANSI code page, in place of the
// engine's own Windows-1252 tables.

namespace dravik::engine {
class TPSExec;
}

namespace dravik::platform {

// Registers ANSIUPPERCASE and ANSILOWERCASE in exec again, converting with the system's rules.
// Must come after the executor's creation (which registers the engine's versions) and before
// LoadImage, which binds the newest registration.
void RegisterSystemAnsiCase(engine::TPSExec& exec);

}  // namespace dravik::platform
