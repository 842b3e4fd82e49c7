#pragma once
// What dk2 run puts around a script in place of the program: Dravik's five host routines, which
// print what the program would do instead of doing it, and the print routines dk2 declares.
//
//  - ExecuteFile and MountFile print one line each, their arguments as the script passed them
//    (no placeholder is expanded: dk2 has no image, no registry):
//        ExecuteFile("C:\Tools\x.exe", "-a", "C:\Tools\")
//        MountFile("D:\x.iso", 0)
//    MountFile does not run a mount script.
//  - Wait sleeps, at most kMaxWaitMilliseconds per call; 0 or below returns at once.
//  - CutExt is the program's own.
//  - getMountedFile answers the file of the last MountFile, empty before the first.
//  - Writeln prints its text and a line end, Write the text alone.

#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

#include "core/script_host/host_routines.h"
#include "engine/engine.h"

namespace dravik::dk2 {

// A script that waits longer than this per call is still let through, only sooner: dk2 runs
// scripts from tests and the command line, where an endless wait helps nobody.
inline constexpr std::int32_t kMaxWaitMilliseconds = 60000;

class SimulatedHost final : public core::HostRoutines {
 public:
  explicit SimulatedHost(std::ostream& out) : out(out) {}

  void ExecuteFile(std::string fileName, std::string params, std::string defaultDir) override;
  void MountFile(std::string fileName, std::int32_t drive) override;
  void Wait(std::int32_t milliseconds) override;
  std::string getMountedFile() override { return mountedFile; }

  std::ostream& out;        // where the printing routines write
  std::string mountedFile;  // what getMountedFile answers
};

// The declarations of the unit "SYSTEM" as dk2 compiles scripts: the program's five, then
// Writeln and Write.
std::span<const std::string_view> SystemUnitDeclarations();

// Binds the program's five routines (core::BindHostRoutines) and then WRITELN and WRITE in
// script. Must precede Load; host must outlive the script's runs. A call whose parameters do not
// match the routine's declaration fails ("Could not call proc").
void BindSimulatedHost(engine::Script& script, SimulatedHost& host);

}  // namespace dravik::dk2
