#include "windows/pictures.h"

#include <array>
#include <cctype>
#include <string>

#include "core/associations/fixed_extensions.h"
#include "windows/flat/drawing.h"

namespace dravik::windows {

namespace {

// A disc: a rim of ink around the field colour, a ring of background round the hole.
void PaintDisc(HDC dc, int centreX, int centreY, int radius) {
  const SolidPen rim(kInkColour, 1);
  const SolidBrush face(kFieldColour);
  const SolidBrush ring(kBackgroundColour);
  const Selection pen(dc, rim.Get());
  {
    const Selection brush(dc, face.Get());
    Ellipse(dc, centreX - radius, centreY - radius, centreX + radius + 1, centreY + radius + 1);
  }
  const int ringRadius = radius / 3 + 1;
  {
    const Selection brush(dc, ring.Get());
    Ellipse(dc, centreX - ringRadius, centreY - ringRadius, centreX + ringRadius + 1, centreY + ringRadius + 1);
  }
  const Selection hole(dc, GetStockObject(WHITE_BRUSH));
  Ellipse(dc, centreX - 2, centreY - 2, centreX + 3, centreY + 3);
}

// A sheet of paper with a folded corner and lines of ink text.
void PaintSheet(HDC dc, int left, int top, int width, int height) {
  constexpr int kFold = 6;
  const std::array<POINT, 5> outline = {{{left, top},
                                         {left + width - kFold, top},
                                         {left + width, top + kFold},
                                         {left + width, top + height},
                                         {left, top + height}}};
  const SolidPen pen(kInkColour, 1);
  const SolidBrush paper(RGB(255, 255, 255));
  const Selection selectedPen(dc, pen.Get());
  const Selection selectedBrush(dc, paper.Get());
  Polygon(dc, outline.data(), static_cast<int>(outline.size()));
  const std::array<POINT, 3> fold = {{{left + width - kFold, top}, {left + width - kFold, top + kFold}, {left + width, top + kFold}}};
  Polyline(dc, fold.data(), static_cast<int>(fold.size()));
  for (int y = top + kFold + 3, line = 0; y < top + height - 2; y += 3, ++line) {
    const int end = left + width - 3 - (line % 3) * 3;
    FillSolid(dc, {left + 3, y, end, y + 1}, kInkColour);
  }
}

// The type's letters on an ink tag across the lower part of the picture.
void PaintBadge(HDC dc, std::string_view extension, int left, int top) {
  const RECT tag{left + 4, top + 21, left + 28, top + 31};
  FillSolid(dc, tag, kInkColour);
  std::string letters(extension);
  for (char& letter : letters) letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  DrawTextIn(dc, letters.c_str(), static_cast<int>(letters.size()), tag, DT_CENTER | DT_VCENTER | DT_SINGLELINE,
             kFieldColour, Font(FontKind::Badge));
}

}  // namespace

void PaintProgramPicture(HDC dc, int left, int top) {
  PaintDisc(dc, left + 11, top + 11, 11);
  // The drive's tray under the disc.
  const RECT tray{left, top + 22, left + 24, top + 27};
  FillSolid(dc, tray, kInkColour);
  FillSolid(dc, {left + 17, top + 24, left + 21, top + 25}, kFieldColour);
}

void PaintTypePicture(HDC dc, std::size_t index, int left, int top) {
  if (index >= core::kFixedExtensionCount) return;
  const std::string_view extension = core::kFixedExtensions[index].extension;
  // A cue sheet is a text that describes a disc: a sheet over a disc.
  if (extension == "cue") {
    PaintDisc(dc, left + 20, top + 12, 11);
    PaintSheet(dc, left + 2, top + 6, 17, 24);
    return;
  }
  PaintDisc(dc, left + 16, top + 13, 13);
  PaintBadge(dc, extension, left, top);
}

}  // namespace dravik::windows
