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

}  // namespace dravik::dk2
