#include "windows/flat/moving_label.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "windows/flat/glyph.h"

namespace dravik::windows {

namespace {

// Texts hold file paths, in which "&" means itself.
constexpr UINT kTextFormat = DT_NOPREFIX | DT_LEFT;

UINT FormatOf(LabelLook look) {
  switch (look) {
    case LabelLook::WrappedText:
      return kTextFormat | DT_WORDBREAK | DT_EDITCONTROL;
    case LabelLook::CentredText:
      return kTextFormat | DT_SINGLELINE | DT_VCENTER | DT_PATH_ELLIPSIS;
    case LabelLook::Text:
    case LabelLook::Glyph:
      break;
  }
  return kTextFormat | DT_SINGLELINE;
}

RECT FitToText(HWND parent, RECT place, const std::string& text, HFONT font) {
  const ClientDc dc(parent);
  const Selection selected(dc.Get(), font);
  RECT measured{0, 0, 0, 0};
  DrawTextA(dc.Get(), text.c_str(), static_cast<int>(text.size()), &measured, kTextFormat | DT_SINGLELINE | DT_CALCRECT);
  return {place.left, place.top, place.left + measured.right, place.top + measured.bottom};
}

}  // namespace

HWND MovingLabel::Create(HWND parent, int id, RECT place, const std::string& text, const LabelStyle& style) {
  if (place.right == place.left) place = FitToText(parent, place, text, Font(style.font));
  return CreateControlWindow(std::make_unique<MovingLabel>(style), parent, id, place, text.c_str(), 0);
}

LRESULT MovingLabel::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (const std::optional<LRESULT> painted = AnswerPaint(message, [&] { Paint(window); })) return *painted;
  switch (message) {
    case WM_SETTEXT: {
      const LRESULT result = DefWindowProcA(window, message, wParam, lParam);
      InvalidateRect(window, nullptr, FALSE);
      return result;
    }
    case WM_SETCURSOR:
      if (!style_.handCursor) break;
      SetCursor(LoadCursor(nullptr, IDC_HAND));
      return TRUE;
    case WM_MOUSEMOVE:
      OnMouseMove(window);
      return 0;
    case WM_MOUSELEAVE:
      OnMouseLeave(window);
      return 0;
    case WM_LBUTTONDOWN:
      pressed_ = true;
      SetCapture(window);
      return 0;
    case WM_LBUTTONUP:
      OnButtonUp(window, lParam);
      return 0;
    case WM_CAPTURECHANGED:
      pressed_ = false;
      return 0;
    case BM_CLICK:
      NotifyClick(window);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void MovingLabel::Paint(HWND window) const {
  const BufferedPaint paint(window, style_.background);
  const std::string text = WindowText(window);
  if (style_.look == LabelLook::Glyph) {
    PaintGlyph(paint.Dc(), paint.Client(), text.empty() ? '\0' : text.front());
    return;
  }
  const RECT& client = paint.Client();
  const RECT area = style_.look == LabelLook::WrappedText ? CentredLines(paint.Dc(), text, client) : client;
  DrawTextIn(paint.Dc(), text.c_str(), static_cast<int>(text.size()), area, FormatOf(style_.look), kInkColour,
             CurrentFont());
}

// Wrapped lines have no vertical centring of their own: measure them and centre the block.
RECT MovingLabel::CentredLines(HDC dc, const std::string& text, const RECT& client) const {
  RECT measured = client;
  {
    const Selection selected(dc, CurrentFont());
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &measured, FormatOf(style_.look) | DT_CALCRECT);
  }
  const int height = std::min(measured.bottom - measured.top, client.bottom - client.top);
  const int top = client.top + (client.bottom - client.top - height) / 2;
  return {client.left, top, client.right, top + height};
}

HFONT MovingLabel::CurrentFont() const {
  return hovered_ && style_.underlineOnHover ? Font(FontKind::Underlined) : Font(style_.font);
}

void MovingLabel::OnMouseMove(HWND window) {
  if (hovered_) return;
  hovered_ = true;
  // The system reports the mouse's leaving only once per request.
  TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window, 0};
  TrackMouseEvent(&track);
  if (style_.underlineOnHover) InvalidateRect(window, nullptr, FALSE);
}

void MovingLabel::OnMouseLeave(HWND window) {
  hovered_ = false;
  if (style_.underlineOnHover) InvalidateRect(window, nullptr, FALSE);
}

void MovingLabel::OnButtonUp(HWND window, LPARAM lParam) {
  const bool wasPressed = pressed_;
  if (ReleasedInside(window, lParam) && wasPressed) NotifyClick(window);
}

void MovingLabel::NotifyClick(HWND window) const {
  if (style_.clickable) NotifyClicked(window);
}

}  // namespace dravik::windows
