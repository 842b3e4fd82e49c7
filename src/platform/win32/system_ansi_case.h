#pragma once
// AnsiUppercase and AnsiLowercase by the rules of the system's ANSI code page, in place of the
// engine's own Windows-1252 tables.

namespace dravik::engine {
class Script;
}

namespace dravik::platform {

// Binds ANSIUPPERCASE and ANSILOWERCASE in script to versions that convert with the system's
// rules. Must come before Load, which binds the names.
void BindSystemAnsiCase(engine::Script& script);

}  // namespace dravik::platform
