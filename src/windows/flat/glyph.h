#pragma once
// The association glyphs: a box with a tick (the ticked state character) or a cross (any other),
// drawn as lines so that no symbol font need be installed.

#include <windows.h>

namespace dravik::windows {

// Draws the glyph centred in `area` in ink.
void PaintGlyph(HDC dc, const RECT& area, char state);

}  // namespace dravik::windows
