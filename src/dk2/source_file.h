#pragma once
// Reading a script file for the dk2 verbs.

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>

namespace dravik::dk2 {

// The most any verb reads, script text or image: far beyond any script, and a bound on what a
// device without end (/dev/zero) or a stray huge file can make dk2 hold.
inline constexpr std::size_t kMaxInputBytes = std::size_t{64} << 20;

// The whole file as bytes; on failure (unreadable, or longer than kMaxInputBytes), one line on
// err naming the file and the reason.
std::optional<std::string> ReadSourceFile(const std::string& path, std::ostream& err);

}  // namespace dravik::dk2
