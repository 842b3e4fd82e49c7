#include "windows/flat/flat_list_box.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <string>

#include "windows/flat/window_geometry.h"

namespace dravik::windows {

namespace {

constexpr int kBandHeight = 11;
constexpr int kTextInset = 3;
constexpr UINT kRepeatMs = 100;
constexpr DWORD kListStyle = WS_TABSTOP | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;

int Count(HWND list) { return static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0)); }
int Top(HWND list) { return static_cast<int>(SendMessageA(list, LB_GETTOPINDEX, 0, 0)); }

std::string EntryText(HWND list, int index) {
  const LRESULT length = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == LB_ERR) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const LRESULT copied = SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

RECT UpBand(const RECT& whole) { return {1, 1, whole.right - 1, 1 + kBandHeight}; }
RECT DownBand(const RECT& whole) { return {1, whole.bottom - 1 - kBandHeight, whole.right - 1, whole.bottom - 1}; }

bool ChangesEntries(UINT message) {
  return message == LB_ADDSTRING || message == LB_INSERTSTRING || message == LB_DELETESTRING ||
         message == LB_RESETCONTENT || message == LB_SETTOPINDEX || message == LB_SETCURSEL;
}

}  // namespace

TFlatListBox::TFlatListBox() : held_(kRepeatMs, kRepeatMs) {}

HWND TFlatListBox::Create(HWND parent, int id, const RECT& place) {
  const HWND list = CreateChildWindow("LISTBOX", parent, id, place, "", kListStyle);
  if (list == nullptr) return nullptr;
  // The list asked its parent for the entries' height while it was being made, before this
  // control was there to answer; it is told now.
  SendMessageA(list, LB_SETITEMHEIGHT, 0, kItemHeight);
  // Its bands are part of its frame, which attaching measures again.
  AttachToSystemControl(list, std::make_unique<TFlatListBox>());
  return list;
}

// A part of the list changed: the list repaints itself whole.
std::optional<LRESULT> TFlatListBox::OnReflected(HWND list, UINT message, WPARAM, LPARAM) {
  if (message != WM_DRAWITEM) return std::nullopt;
  InvalidateRect(list, nullptr, FALSE);
  return TRUE;
}

LRESULT TFlatListBox::HandleMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  if (held_.Handle(list, message, wParam, [&](int band) { return Scroll(list, band); })) return 0;
  if (const std::optional<LRESULT> painted = AnswerPaint(message, [&] { Paint(list); })) return *painted;
  switch (message) {
    case WM_NCCALCSIZE: {
      // Both forms of the message carry the window's rectangle first.
      auto* area = reinterpret_cast<RECT*>(lParam);
      *area = {area->left + 1, area->top + 1 + kBandHeight, area->right - 1, area->bottom - 1 - kBandHeight};
      return 0;
    }
    case WM_NCPAINT:
      PaintFrame(list);
      return 0;
    case WM_NCHITTEST:
      if (BandAt(list, PointOf(lParam)) == 0) break;
      return HTBORDER;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
      OnBandDown(list, BandAt(list, PointOf(lParam)));
      return 0;
    case WM_MOUSEWHEEL:
      OnWheel(list, GET_WHEEL_DELTA_WPARAM(wParam));
      return 0;
    case WM_KEYDOWN:
      if (OnKeyDown(list, wParam)) return 0;
      break;
    case WM_CHAR:
      return 0;  // a typed letter would select the entry it begins
    default:
      if (!ChangesEntries(message)) break;
      const LRESULT result = DefSubclassProc(list, message, wParam, lParam);
      RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
      return result;
  }
  return DefSubclassProc(list, message, wParam, lParam);
}

// Keys scroll and never select; Enter, Escape and Tab go on to whoever handles them.
bool TFlatListBox::OnKeyDown(HWND list, WPARAM key) {
  switch (key) {
    case VK_UP:
      Scroll(list, -1);
      return true;
    case VK_DOWN:
      Scroll(list, 1);
      return true;
    case VK_PRIOR:
      Scroll(list, -VisibleEntries(list));
      return true;
    case VK_NEXT:
      Scroll(list, VisibleEntries(list));
      return true;
    case VK_HOME:
    case VK_END:
    case VK_LEFT:
    case VK_RIGHT:
      return true;
  }
  return false;
}

void TFlatListBox::OnWheel(HWND list, int delta) {
  wheelRest_ += delta;
  const int notches = wheelRest_ / WHEEL_DELTA;
  wheelRest_ -= notches * WHEEL_DELTA;
  // Turning the wheel away from the user (a positive delta) shows earlier entries.
  if (notches != 0) Scroll(list, -notches);
}

// A press on the frame beside the bands is taken too, and does nothing.
void TFlatListBox::OnBandDown(HWND list, int band) {
  if (band == 0) return;
  held_.Press(list, band);
  if (Scroll(list, band)) held_.StartRepeats(list);
}

bool TFlatListBox::Scroll(HWND list, int entries) const {
  const int top = Top(list);
  const int wanted = std::clamp(top + entries, 0, LastTop(list));
  if (wanted == top) return false;
  SendMessageA(list, LB_SETTOPINDEX, static_cast<WPARAM>(wanted), 0);
  return true;
}

int TFlatListBox::VisibleEntries(HWND list) const {
  return std::max(1, static_cast<int>(ClientArea(list).bottom / kItemHeight));
}

int TFlatListBox::LastTop(HWND list) const { return std::max(0, Count(list) - VisibleEntries(list)); }

int TFlatListBox::BandAt(HWND list, POINT screen) const {
  const POINT point = InWindow(list, screen);
  const RECT whole = WindowArea(list);
  const RECT up = UpBand(whole);
  const RECT down = DownBand(whole);
  if (PtInRect(&up, point) != FALSE) return -1;
  if (PtInRect(&down, point) != FALSE) return 1;
  return 0;
}

void TFlatListBox::Paint(HWND list) const {
  {
    const BufferedPaint paint(list, ColorItemsRect);
    const RECT& client = paint.Client();
    const int selected = static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0));
    for (int index = Top(list), y = 0; index < Count(list) && y < client.bottom; ++index, y += kItemHeight) {
      PaintEntry(list, paint.Dc(), index, {0, y, client.right, y + kItemHeight}, index == selected);
    }
  }
  // Whether the arrows are live depends on the first entry shown, which may just have changed.
  PaintFrame(list);
}

void TFlatListBox::PaintEntry(HWND list, HDC dc, int index, const RECT& area, bool selected) const {
  if (selected) {
    FillSolid(dc, area, ColorItemsSelect);
    FrameSolid(dc, area, ColorBorder);
  }
  const std::string text = EntryText(list, index);
  const RECT inset{area.left + kTextInset, area.top, area.right - kTextInset, area.bottom};
  DrawTextIn(dc, text.c_str(), static_cast<int>(text.size()), inset, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX,
             kInkColour, Font(FontKind::Text));
}

void TFlatListBox::PaintFrame(HWND list) const {
  const RECT whole = WindowArea(list);
  const WindowDc dc(list);
  FrameSolid(dc.Get(), whole, ColorBorder);
  const RECT up = UpBand(whole);
  const RECT down = DownBand(whole);
  FillSolid(dc.Get(), up, ColorItemsRect);
  FillSolid(dc.Get(), down, ColorItemsRect);
  const int top = Top(list);
  PaintArrow(dc.Get(), up, true, top > 0);
  PaintArrow(dc.Get(), down, false, top < LastTop(list));
}

void TFlatListBox::PaintArrow(HDC dc, const RECT& band, bool up, bool enabled) const {
  if (enabled) return FillArrow(dc, band, up, ColorArrow);
  RECT shadow = band;
  OffsetRect(&shadow, 1, 1);
  FillArrow(dc, shadow, up, kArrowShadowColour);
  FillArrow(dc, band, up, kDisabledArrowColour);
}

}  // namespace dravik::windows
