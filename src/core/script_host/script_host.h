#pragma once
// Compiling and running a script with Dravik's five host routines.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/platform/platform.h"
#include "core/script_host/host_routines.h"
#include "core/script_host/script_runs.h"
#include "engine/engine.h"

namespace dravik::core {

// Compiles text as the program does: the unit "SYSTEM" declares the five host routines, and no
// other unit is known.
engine::CompileResult CompileWithHostRoutines(std::string_view text);

// A script as the program read it, and the file it was read from.
struct ScriptFile {
  std::string path;
  std::string text;
};

// Compiles script.text; when that fails, shows every compiler message in one "Error" box.
// Otherwise runs it, as one of runs, with routines behind the host routines. A runtime error is
// shown in an "Error" box with the script's path and the line and column of the statement that
// failed, unless the script was stopped on request; an image that does not load is not
// reported. Answers whether the script ran to its end.
bool CompileAndRun(const ScriptFile& script, HostRoutines& routines, Platform& platform, ScriptRuns& runs);

// The whole script file at path, its line ends made carriage return and line feed. Throws
// Failure ("Cannot open file ...") when it cannot be read.
ScriptFile ReadScriptFile(Files& files, std::string_view path);

}  // namespace dravik::core
