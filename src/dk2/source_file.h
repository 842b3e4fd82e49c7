#pragma once
// Reading a script file for the dk2 verbs.

#include <iosfwd>
#include <optional>
#include <string>

namespace dravik::dk2 {

// The whole file as bytes; on failure, one line on err naming the file and the reason.
std::optional<std::string> ReadSourceFile(const std::string& path, std::ostream& err);

}  // namespace dravik::dk2
