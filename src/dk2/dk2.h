#pragma once
// The dk2 command line: dk2 VERB FILE. Output goes to the given streams so that tests can run
// every verb in-process.

#include <iosfwd>
#include <string>
#include <vector>

namespace dravik::dk2 {

// Exit statuses shared by every verb.
inline constexpr int kExitOk = 0;
inline constexpr int kExitScriptFailed = 1;  // the script has an error
inline constexpr int kExitUsage = 2;         // bad command line or unreadable file

// args are the words after the program name.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// dk2 tokens FILE: one line per significant token, "ROW:COL KIND TEXT".
int TokensCommand(const std::string& path, std::ostream& out, std::ostream& err);

// dk2 check FILE: compiles the script and prints each message's line, in the order made.
int CheckCommand(const std::string& path, std::ostream& out, std::ostream& err);

// dk2 compile FILE -o IMAGE: as check, and writes the image to IMAGE when it compiled.
int CompileCommand(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

// dk2 dump FILE: compiles the script and lists its image with names from the debug output;
// dk2 dump --image IMAGE: lists an image file. Messages of a failed compilation as check.
int DumpCommand(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

// dk2 run [--memory-limit BYTES] FILE | --image IMAGE: runs a script or an image file against
// simulated host routines (simulated_host.h), its values within the memory limit (1G unless
// given; K, M and G are binary). Fails with 1 on a runtime error, 2 when the script does not
// compile (its messages as check), 3 when the image does not load.
int RunCommand(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

}  // namespace dravik::dk2
