#pragma once
// Compiling a script as dk2 does: the unit "SYSTEM" declares Dravik's five host routines plus
// Writeln and Write for printing; no other unit is known.

#include <string>
#include <string_view>
#include <vector>

namespace dravik::dk2 {

struct Compilation {
  bool ok = false;
  std::vector<std::string> messages;  // each message's full line, in the order made
  std::string image;                  // empty unless ok
  std::string debugOutput;
};

Compilation CompileScript(std::string_view text);

}  // namespace dravik::dk2
