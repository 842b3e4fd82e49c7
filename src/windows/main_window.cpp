#include "windows/main_window.h"

#include <commctrl.h>
#include <commdlg.h>

#include <optional>

#include "windows/flat/drawing.h"
#include "windows/flat/flat_check_box.h"
#include "windows/flat/flat_control.h"
#include "windows/flat/flat_edit.h"
#include "windows/flat/flat_list_box.h"
#include "windows/flat/flat_spin_edit.h"
#include "windows/flat/moving_label.h"
#include "windows/flat/window_geometry.h"
#include "windows/pictures.h"

namespace dravik::windows {

namespace {

// No system frame or caption: the window draws its own frame and is dragged by its free parts.
constexpr DWORD kWindowStyle = WS_POPUP | WS_CLIPCHILDREN;
// A full path can reach 32767 characters; the dialog must be given room for one.
constexpr DWORD kOpenFileBufferBytes = 32768;
constexpr char kHostFilter[] = "Host Application File (*.exe)\0*.exe\0";
constexpr char kHostDialogTitle[] = "Open Dravik Host Application";

constexpr RECT kTitleStrip{5, 10, 5 + 471, 10 + 36};
constexpr POINT kTitleText{15, 16};
constexpr POINT kProgramPicture{120, 15};

// Only a changed text is set: setting an edit field's text moves its caret to the start.
void ShowText(HWND control, const std::string& text) {
  if (WindowText(control) != text) SetWindowTextA(control, text.c_str());
}

bool IsSubclassed(int id) { return id != kNoId; }

struct Origin {
  int left;
  int top;
  bool visible;
};

const PanelPlace* InnerPanel(Panel panel) {
  for (const PanelPlace& inner : kInnerPanels) {
    if (inner.panel == panel) return &inner;
  }
  return nullptr;
}

Origin OriginOf(Panel panel, const core::MainWindowState& state) {
  switch (panel) {
    case Panel::Window:
      return {0, 0, true};
    case Panel::Mount:
      return {kOuterPanelLeft, state.mountPanelTop, state.mountPanelVisible};
    case Panel::Settings:
      return {kOuterPanelLeft, state.settingsPanelTop, state.settingsPanelVisible};
    case Panel::MountInner:
    case Panel::HostInner:
    case Panel::TypesInner:
      break;
  }
  const PanelPlace* inner = InnerPanel(panel);
  if (inner == nullptr) return {0, 0, false};
  const Origin outer = OriginOf(inner->outer, state);
  return {outer.left + inner->x, outer.top + inner->y, outer.visible};
}

int PanelWidth(Panel panel) {
  if (const PanelPlace* inner = InnerPanel(panel)) return inner->width;
  return panel == Panel::Window ? core::kDesignClientWidth : kOuterPanelWidth;
}

// A label measured to its text ends inside its panel's frame, however wide the font sets it.
void KeepInsidePanel(HWND control, const ControlPlace& place) {
  constexpr int kFrameMargin = 2;
  const RECT bounds = WindowArea(control);
  const int limit = PanelWidth(place.panel) - kFrameMargin - place.x;
  if (bounds.right <= limit) return;
  SetWindowPos(control, nullptr, 0, 0, limit, bounds.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

COLORREF BackgroundOf(Panel panel) { return InnerPanel(panel) != nullptr ? kFieldColour : kBackgroundColour; }

TFlatPanel PanelAt(const Origin& origin, int width, int height, COLORREF fill) {
  return {{origin.left, origin.top, origin.left + width, origin.top + height}, fill, kInkColour, kInkColour};
}

LabelStyle LabelStyleOf(const ControlPlace& place) {
  LabelStyle style;
  style.background = BackgroundOf(place.panel);
  switch (place.kind) {
    case ControlKind::WrappedLink:
      style.look = LabelLook::WrappedText;
      [[fallthrough]];
    case ControlKind::Link:
      style.clickable = style.handCursor = style.underlineOnHover = true;
      break;
    case ControlKind::TitleLink:
      style.font = FontKind::Title;
      style.clickable = style.handCursor = true;
      break;
    case ControlKind::Caption:
      style.clickable = place.id != kNoId;
      break;
    case ControlKind::PathLabel:
      style.look = LabelLook::CentredText;
      break;
    case ControlKind::WrappedLabel:
      style.look = LabelLook::WrappedText;
      break;
    case ControlKind::Glyph:
      style.look = LabelLook::Glyph;
      style.clickable = style.handCursor = true;
      break;
    default:
      break;
  }
  return style;
}

unsigned ButtonsHeld(WPARAM keys) {
  return ((keys & MK_LBUTTON) != 0 ? core::kLeftButton : 0U) | ((keys & MK_RBUTTON) != 0 ? core::kRightButton : 0U) |
         ((keys & MK_MBUTTON) != 0 ? core::kMiddleButton : 0U);
}

core::KeyPlace KeyPlaceOf(int id) {
  switch (id) {
    case kImageNumberId:
      return core::KeyPlace::ImageNumberField;
    case kExtensionFieldId:
      return core::KeyPlace::ExtensionField;
    default:
      return core::KeyPlace::OtherControl;
  }
}

}  // namespace

MainWindow::MainWindow(core::TForm1& form, char decimalSeparator) : form_(form), decimalSeparator_(decimalSeparator) {}

MainWindow::~MainWindow() {
  if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
}

bool MainWindow::Create(HINSTANCE instance) {
  if (!RegisterWindowClass(instance, kClassName, RouteToWindow<MainWindow>, LoadCursor(nullptr, IDC_ARROW)) ||
      !taskbar_.Create(instance))
    return false;
  const core::MainWindowState& state = form_.State();
  if (CreateWindowExA(0, kClassName, kCaption, kWindowStyle, 0, 0, state.clientWidth, state.clientHeight,
                      taskbar_.Handle(), nullptr, instance, this) == nullptr)
    return false;
  taskbar_.SetTarget(window_);
  return true;
}

void MainWindow::Show(int showCommand) {
  ShowState();
  CentreOnScreen(window_);
  taskbar_.Show(true);
  ShowWindow(window_, showCommand);
  // In the mount window Enter and Escape belong to the image number; in the settings window the
  // window itself takes them.
  SetFocus(form_.State().mountPanelVisible ? Control(kImageNumberId) : window_);
}

LRESULT MainWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (const std::optional<LRESULT> painted = AnswerPaint(message, [this] { OnPaint(); })) return *painted;
  switch (message) {
    case WM_CREATE:
      OnCreate();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      OnButtonDown(wParam, lParam);
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove(lParam);
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      OnButtonUp();
      return 0;
    case WM_CAPTURECHANGED:
      dragLayer_.Release();
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_KEYDOWN:
      OnKeyDown(static_cast<int>(wParam));
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_DESTROY:
      taskbar_.Show(false);
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      window_ = nullptr;
      controls_ = {};
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void MainWindow::OnCreate() {
  for (std::size_t index = 0; index < kControlPlaces.size(); ++index) {
    const ControlPlace& place = kControlPlaces[index];
    const HWND control = CreateControl(place);
    if (control == nullptr) continue;
    controls_[index] = control;
    KeepInsidePanel(control, place);
    UseFont(control, FontKind::Text);
    if (IsSubclassed(place.id)) {
      SetWindowSubclass(control, ControlProc, static_cast<UINT_PTR>(place.id), reinterpret_cast<DWORD_PTR>(this));
    }
  }
}

HWND MainWindow::CreateControl(const ControlPlace& place) {
  const RECT bounds{place.x, place.y, place.x + place.width, place.y + place.height};
  const std::string text(place.text);
  switch (place.kind) {
    case ControlKind::CheckBox:
      return TFlatCheckBox::Create(window_, place.id, bounds, text, BackgroundOf(place.panel));
    case ControlKind::Edit:
      // Not a tab stop: Tab passes the extension field by.
      return TFlatEdit::Create(window_, place.id, bounds, ES_AUTOHSCROLL);
    case ControlKind::SpinEdit:
      return TFlatSpinEditInteger::Create(
          window_, place.id, bounds, decimalSeparator_,
          {[this](int delta) { Call([&] { form_.State().imageNumber.Step(delta); }); },
           [this] { OnImageNumberLeft(); }});
    case ControlKind::ListBox:
      return TFlatListBox::Create(window_, place.id, bounds);
    default:
      return MovingLabel::Create(window_, place.id, bounds, text, LabelStyleOf(place));
  }
}

void MainWindow::OnCommand(int id, int code) {
  if (id >= GlyphId(0) && id < GlyphId(core::kFixedExtensionCount) && code == BN_CLICKED) {
    Call([&] { form_.Label1Click(static_cast<std::size_t>(id - kFirstGlyphId)); });
  } else if (id == kExtensionListId && code == LBN_SELCHANGE) {
    Call([] {});  // collecting the input takes the new selection
  } else if (id == kOneDriveId && code == BN_CLICKED) {
    Call([] {});  // the check box has toggled itself; collecting the input takes it
  } else if (code != BN_CLICKED) {
    return;
  } else if (id == kDeleteLinkId || id == kCueCaptionId) {
    Call([&] { form_.MovingLabel28Click(); });
  } else if (id == kOpenHostId) {
    OnOpenHostApplication();
  } else if (id == kMountLinkId) {
    Call([&] { form_.Label9Click(); });
  } else if (id == kCloseId) {
    Call([&] { form_.MovingLabel21Click(); });
  } else if (id == kAboutId && ShowAboutWindow) {
    ShowAboutWindow();
  }
}

void MainWindow::OnClose() {
  Call([&] { form_.FormClose(); });
  DestroyWindow(window_);
}

void MainWindow::OnKeyDown(int key) {
  if (key == VK_RETURN || key == VK_ESCAPE) Call([&] { form_.KeyDown(core::KeyPlace::Window, key); });
}

LRESULT CALLBACK MainWindow::ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self) {
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(control, ControlProc, id);
    return DefSubclassProc(control, message, wParam, lParam);
  }
  return reinterpret_cast<MainWindow*>(self)->HandleControlMessage(control, static_cast<int>(id), message, wParam,
                                                                   lParam);
}

LRESULT MainWindow::HandleControlMessage(HWND control, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
      if (OnControlKeyDown(id, static_cast<int>(wParam))) return 0;
      break;
    case WM_CHAR:
      // Edit fields answer the characters of Enter and Escape with a beep.
      if (wParam == '\r' || wParam == '\x1b') return 0;
      break;
  }
  return DefSubclassProc(control, message, wParam, lParam);
}

// Enter and Escape in a control go to the core, which knows what each control does with them;
// no control has a use of its own for them.
bool MainWindow::OnControlKeyDown(int id, int key) {
  if (key != VK_RETURN && key != VK_ESCAPE) return false;
  Call([&] { form_.KeyDown(KeyPlaceOf(id), key); });
  return true;
}

// Focus also leaves the field for an error box that a running handler shows; only the field
// itself is collected and redrawn then, so that the handler's state is not disturbed.
void MainWindow::OnImageNumberLeft() {
  const HWND field = Control(kImageNumberId);
  if (field == nullptr) return;
  core::ImageNumberField& imageNumber = form_.State().imageNumber;
  imageNumber.text = WindowText(field);
  imageNumber.ApplyRange();
  ShowText(field, imageNumber.text);
}

void MainWindow::OnOpenHostApplication() {
  std::string file(kOpenFileBufferBytes, '\0');
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = window_;
  dialog.lpstrFilter = kHostFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = kOpenFileBufferBytes;
  dialog.lpstrTitle = kHostDialogTitle;
  // The dialog would otherwise move the working folder to wherever the user browsed.
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameA(&dialog)) return;
  file.resize(file.find('\0'));
  Call([&] { form_.State().hostApplication = file; });
}

void MainWindow::OnPaint() {
  const BufferedPaint paint(window_, kBackgroundColour);
  FrameSolid(paint.Dc(), paint.Client(), kInkColour);
  PaintTitleStrip(paint.Dc());
  PaintPanels(paint.Dc());
}

void MainWindow::PaintTitleStrip(HDC dc) const {
  FrameSolid(dc, kTitleStrip, kInkColour);
  const RECT title{kTitleText.x, kTitleText.y, kProgramPicture.x, kTitleStrip.bottom};
  DrawTextIn(dc, kCaption, -1, title, DT_SINGLELINE | DT_NOPREFIX, kInkColour, Font(FontKind::Title));
  PaintProgramPicture(dc, kProgramPicture.x, kProgramPicture.y);
}

void MainWindow::PaintPanels(HDC dc) const {
  for (const TFlatPanel& panel : VisiblePanels()) panel.Paint(dc);
  const Origin types = OriginOf(Panel::TypesInner, form_.State());
  if (!types.visible) return;
  for (std::size_t index = 0; index < core::kFixedExtensionCount; ++index) {
    const core::FixedExtension& fixed = core::kFixedExtensions[index];
    PaintTypePicture(dc, index, types.left + kTypePictureX + kTypeColumnStep * fixed.column,
                     types.top + kTypePictureY + kTypeRowStep * fixed.row);
  }
}

std::vector<TFlatPanel> MainWindow::VisiblePanels() const {
  const core::MainWindowState& state = form_.State();
  std::vector<TFlatPanel> panels;
  const Origin mount = OriginOf(Panel::Mount, state);
  if (mount.visible) panels.push_back(PanelAt(mount, kOuterPanelWidth, kMountPanelHeight, kBackgroundColour));
  const Origin settings = OriginOf(Panel::Settings, state);
  if (settings.visible) panels.push_back(PanelAt(settings, kOuterPanelWidth, kSettingsPanelHeight, kBackgroundColour));
  for (const PanelPlace& inner : kInnerPanels) {
    const Origin origin = OriginOf(inner.panel, state);
    if (origin.visible) panels.push_back(PanelAt(origin, inner.width, inner.height, kFieldColour));
  }
  return panels;
}

bool MainWindow::OnPanel(POINT point) const {
  for (const TFlatPanel& panel : VisiblePanels()) {
    if (panel.Contains(point)) return true;
  }
  return false;
}

// The drag layer lies over the window's free parts only: the panels take their own presses.
void MainWindow::OnButtonDown(WPARAM held, LPARAM point) {
  const POINT at = PointOf(point);
  if (OnPanel(at)) return;
  dragLayer_.Press(ButtonsHeld(held), at.x, at.y);
  if (dragLayer_.Dragging()) SetCapture(window_);
}

void MainWindow::OnMouseMove(LPARAM point) {
  const POINT at = PointOf(point);
  const std::optional<core::Displacement> step = dragLayer_.Move(at.x, at.y);
  if (!step) return;
  RECT frame{};
  GetWindowRect(window_, &frame);
  SetWindowPos(window_, nullptr, frame.left + step->dx, frame.top + step->dy, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(window_, nullptr, FALSE);
}

void MainWindow::OnButtonUp() {
  dragLayer_.Release();
  if (GetCapture() == window_) ReleaseCapture();
}

template <typename Handler>
void MainWindow::Call(Handler handler) {
  CollectInput();
  handler();
  ShowState();
}

void MainWindow::CollectInput() {
  // While the window is being destroyed its controls are gone and have nothing to give.
  if (window_ == nullptr || Control(kOneDriveId) == nullptr) return;
  core::MainWindowState& state = form_.State();
  state.extensionField = WindowText(Control(kExtensionFieldId));
  state.imageNumber.text = WindowText(Control(kImageNumberId));
  state.oneDrive = SendMessageA(Control(kOneDriveId), BM_GETCHECK, 0, 0) == BST_CHECKED;
  state.extensions.Select(static_cast<int>(SendMessageA(Control(kExtensionListId), LB_GETCURSEL, 0, 0)));
}

void MainWindow::ShowState() {
  // A handler may have ended the window (Escape, "X") while it ran.
  if (window_ == nullptr) return;
  ShowLayout();
  ShowTexts();
  ShowExtensions();
}

void MainWindow::ShowLayout() {
  const core::MainWindowState& state = form_.State();
  const RECT client = ClientArea(window_);
  if (client.right != state.clientWidth || client.bottom != state.clientHeight) {
    SetWindowPos(window_, nullptr, 0, 0, state.clientWidth, state.clientHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CentreOnScreen(window_);
    InvalidateRect(window_, nullptr, FALSE);
  }
  for (std::size_t index = 0; index < kControlPlaces.size(); ++index) {
    const ControlPlace& place = kControlPlaces[index];
    const Origin panel = OriginOf(place.panel, state);
    SetWindowPos(controls_[index], nullptr, panel.left + place.x, panel.top + place.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(controls_[index], panel.visible ? SW_SHOWNA : SW_HIDE);
  }
}

void MainWindow::ShowTexts() {
  const core::MainWindowState& state = form_.State();
  for (std::size_t index = 0; index < core::kFixedExtensionCount; ++index) {
    ShowText(Control(GlyphId(index)), std::string(1, state.glyphs[index]));
  }
  ShowText(Control(kFileLabelId), state.fileLabel);
  ShowText(Control(kImageNumberId), state.imageNumber.text);
  ShowText(Control(kHostApplicationId), state.hostApplication);
  ShowText(Control(kExtensionFieldId), state.extensionField);
  SendMessageA(Control(kOneDriveId), BM_SETCHECK, state.oneDrive ? BST_CHECKED : BST_UNCHECKED, 0);
}

// The list is refilled only when its entries changed, and its selection set only when it
// changed, so that its scroll position stays where the user put it.
void MainWindow::ShowExtensions() {
  const core::ExtensionList& extensions = form_.State().extensions;
  const HWND list = Control(kExtensionListId);
  if (shownExtensions_ != extensions.Entries()) {
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (const std::string& entry : extensions.Entries()) {
      SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    }
    shownExtensions_ = extensions.Entries();
  }
  const std::optional<std::size_t> selected = extensions.Selected();
  const LRESULT wanted = selected ? static_cast<LRESULT>(*selected) : LB_ERR;
  if (SendMessageA(list, LB_GETCURSEL, 0, 0) != wanted) {
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(wanted), 0);
  }
}

}  // namespace dravik::windows
