#pragma once
// MovingLabel: a text (or an association glyph) in ink on a plain background. A label may show
// the hand cursor and underline itself while the mouse is over it; a clickable one tells its parent
// of a click (a release of the left button over it, or BM_CLICK) as WM_COMMAND with BN_CLICKED.
// The label's text is its window text.

#include <string>

#include <windows.h>

#include "windows/flat/drawing.h"
#include "windows/flat/flat_control.h"

namespace dravik::windows {

// WrappedText wraps at word boundaries and centres the lines vertically; CentredText is one line,
// vertically centred, shortened in the middle when too long (for file paths).
enum class LabelLook { Text, WrappedText, CentredText, Glyph };

struct LabelStyle {
  LabelLook look = LabelLook::Text;
  FontKind font = FontKind::Text;
  COLORREF background = kBackgroundColour;
  bool clickable = false;  // tells the parent of clicks
  bool handCursor = false;
  bool underlineOnHover = false;
};

class MovingLabel : public FlatControl {
 public:
  static constexpr const char* kClassName = "DravikMovingLabel";

  // A place with zero width gets the width and height of its one-line text.
  static HWND Create(HWND parent, int id, RECT place, const std::string& text, const LabelStyle& style);

  explicit MovingLabel(const LabelStyle& style) : style_(style) {}
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Paint(HWND window) const;
  void OnMouseMove(HWND window);
  void OnMouseLeave(HWND window);
  void OnButtonUp(HWND window, LPARAM lParam);
  void NotifyClick(HWND window) const;
  HFONT CurrentFont() const;
  RECT CentredLines(HDC dc, const std::string& text, const RECT& client) const;

  LabelStyle style_;
  bool hovered_ = false;
  bool pressed_ = false;
};

}  // namespace dravik::windows
