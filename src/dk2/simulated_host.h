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
#include <string>

namespace dravik::engine {
class TPSExec;
}

namespace dravik::dk2 {

// A script that waits longer than this per call is still let through, only sooner: dk2 runs
// scripts from tests and the command line, where an endless wait helps nobody.
inline constexpr std::int32_t kMaxWaitMilliseconds = 60000;

struct SimulatedHost {
  std::ostream& out;        // where the printing routines write
  std::string mountedFile;  // what getMountedFile answers
};

// Binds the routines in exec under their upper-case names, Dravik's five in the program's order
// and then WRITELN and WRITE. Must precede LoadImage; host must outlive exec's runs. A call whose
// parameters do not match the routine's declaration fails (erCouldNotCallProc).
void RegisterSimulatedHost(engine::TPSExec& exec, SimulatedHost& host);

}  // namespace dravik::dk2
