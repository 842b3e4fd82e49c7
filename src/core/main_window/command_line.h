#pragma once
// The command line split into words by the rules Windows programs follow: blanks and tabs
// separate words, double quotes group, and backslashes escape a double quote.

#include <string>
#include <string_view>
#include <vector>

namespace dravik::core {

// The program's name first, then its arguments. The name ends at the first blank or tab, or,
// when it starts with a double quote, at the next double quote; backslashes are plain there.
// In the arguments, 2n backslashes before a double quote give n backslashes and the quote
// groups; 2n+1 give n backslashes and a plain quote; inside quotes two double quotes give one
// plain quote; other backslashes are plain.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

}  // namespace dravik::core
