#pragma once
// The extension test the program uses to tell a script (".dk2") from an image, also offered to
// scripts as the host routine CutExt.

#include <string>
#include <string_view>

namespace dravik::core {

// The upper-cased text after the last "." of filename, the last character not counting as a
// dot: "a.iso" gives "ISO", "a.b.c" gives "C". Empty when filename has no "." at all or is at
// most one character long. When the only dot is the last character, everything from the second
// character on comes back instead ("abc." gives "BC."): scripts and the start-up rely on the
// routine answering exactly so.
std::string CutExt(std::string_view filename);

}  // namespace dravik::core
