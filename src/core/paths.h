#pragma once
// Paths as the program builds them: files beside the program, folder parts, quoting for
// command lines, and arguments trimmed of blanks and control characters.

#include <string>
#include <string_view>

#include "core/platform/files.h"

namespace dravik::core {

inline constexpr std::string_view kMountLogName = "dravik.log";
inline constexpr std::string_view kMountScriptName = "scripts\\mount.dk2";

// The program's folder and name joined by one "\".
std::string ProgramFolderFile(Files& files, std::string_view name);

// Everything of path up to its last "\" or ":", that character included; empty when there is
// none.
std::string_view FolderPart(std::string_view path);

// text in double quotes.
std::string Quoted(std::string_view text);
// text without the double quotes around it, when it has them.
std::string_view Unquoted(std::string_view text);

// text without the characters of code 32 or below at either end.
std::string Trimmed(std::string_view text);

}  // namespace dravik::core
