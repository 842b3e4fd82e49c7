#pragma once
// Compiling a script as dk2 does: the unit "SYSTEM" declares Dravik's five host routines plus
// Writeln and Write for printing; no other unit is known.

#include <string_view>

#include "engine/engine.h"

namespace dravik::dk2 {

engine::CompileResult CompileScript(std::string_view text);

}  // namespace dravik::dk2
