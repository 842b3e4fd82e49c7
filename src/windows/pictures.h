#pragma once
// The program's own pictures, drawn in the window's colours: the program picture of the title
// strip and one picture per fixed image type.

#include <cstddef>

#include <windows.h>

namespace dravik::windows {

inline constexpr SIZE kProgramPictureSize{24, 27};
inline constexpr SIZE kTypePictureSize{32, 32};

void PaintProgramPicture(HDC dc, int left, int top);
// index: the type's place in kFixedExtensions.
void PaintTypePicture(HDC dc, std::size_t index, int left, int top);

}  // namespace dravik::windows
