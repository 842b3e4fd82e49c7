#pragma once
// Compiling and running a script with Dravik's five host routines.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/platform/platform.h"

namespace dravik::engine {
class TPSPascalCompiler;
}

namespace dravik::core {

// What the five host routines do; CutExt needs nothing of the program and is answered here.
class HostRoutines {
 public:
  virtual ~HostRoutines() = default;
  virtual void ExecuteFile(std::string fileName, std::string params, std::string defaultDir) = 0;
  virtual void MountFile(std::string fileName, std::int32_t drive) = 0;
  virtual void Wait(std::int32_t milliseconds) = 0;
  virtual std::string getMountedFile() = 0;
};

// The compiler's OnUses callback: declares the host routines for the unit "SYSTEM" and knows no
// other unit.
bool DeclareHostRoutines(engine::TPSPascalCompiler& compiler, const std::string& unitName);

// Compiles text; when that fails, shows every compiler message in one "Error" box. Otherwise runs
// it with routines behind the host routines. Load and runtime errors end the script silently.
void CompileAndRun(std::string_view text, HostRoutines& routines, Platform& platform);

// The whole script file at path, its line ends made carriage return and line feed. Throws
// Failure ("Cannot open file ...") when it cannot be read.
std::string ReadScriptFile(Files& files, std::string_view path);

}  // namespace dravik::core
