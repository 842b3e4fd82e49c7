#include "windows/main_window.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cctype>
#include <optional>

namespace dravik::windows {

namespace {

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr int kPanelLeft = 5;
// A full path can reach 32767 characters; the dialog must be given room for one.
constexpr DWORD kOpenFileBufferBytes = 32768;
constexpr char kHostFilter[] = "Host Application File (*.exe)\0*.exe\0";
constexpr char kHostDialogTitle[] = "Open Dravik Host Application";
constexpr std::string_view kTicked = " [x]";
constexpr std::string_view kCrossed = " [ ]";

struct ClassAndStyle {
  const char* className;
  DWORD style;
};

ClassAndStyle ClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::Button:
      return {"BUTTON", BS_PUSHBUTTON};
    case ControlKind::WrappedButton:
      return {"BUTTON", BS_PUSHBUTTON | BS_MULTILINE};
    case ControlKind::CheckBox:
      return {"BUTTON", BS_AUTOCHECKBOX};
    case ControlKind::Edit:
      return {"EDIT", WS_BORDER | ES_AUTOHSCROLL};
    case ControlKind::ListBox:
      return {"LISTBOX", WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT};
    case ControlKind::Label:
      break;
  }
  // File paths may hold "&", which would otherwise underline the next letter.
  return {"STATIC", SS_LEFT | SS_NOPREFIX};
}

std::string TextOf(HWND control) {
  const int length = GetWindowTextLengthA(control);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(control, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

// Only a changed text is set: setting an edit field's text moves its caret to the start.
void ShowText(HWND control, const std::string& text) {
  if (TextOf(control) != text) SetWindowTextA(control, text.c_str());
}

bool IsSubclassed(int id) { return id != kNoId; }

struct PanelPlace {
  int left;
  int top;
  bool visible;
};

PanelPlace PanelOf(Panel panel, const core::MainWindowState& state) {
  switch (panel) {
    case Panel::Mount:
      return {kPanelLeft, state.mountPanelTop, state.mountPanelVisible};
    case Panel::Settings:
      return {kPanelLeft, state.settingsPanelTop, state.settingsPanelVisible};
    case Panel::Window:
      break;
  }
  return {0, 0, true};
}

}  // namespace

MainWindow::MainWindow(core::TForm1& form, char decimalSeparator) : form_(form), decimalSeparator_(decimalSeparator) {}

MainWindow::~MainWindow() {
  if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
}

bool MainWindow::Create(HINSTANCE instance) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  if (RegisterClassExA(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  const core::MainWindowState& state = form_.State();
  RECT frame{0, 0, state.clientWidth, state.clientHeight};
  AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
  return CreateWindowExA(0, kClassName, kCaption, kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                         frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance,
                         this) != nullptr;
}

void MainWindow::Show(int showCommand) {
  ShowState();
  Centre();
  ShowWindow(window_, showCommand);
  // In the mount window Enter and Escape belong to the image number; in the settings window the
  // window itself takes them.
  SetFocus(form_.State().mountPanelVisible ? Control(kImageNumberId) : window_);
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  return self->HandleMessage(window, message, wParam, lParam);
}

LRESULT MainWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate();
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
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      // The last message of the window: nothing may reach this object through it afterwards.
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      window_ = nullptr;
      controls_ = {};
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void MainWindow::OnCreate() {
  const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window_, GWLP_HINSTANCE));
  const HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  for (std::size_t index = 0; index < kControlPlaces.size(); ++index) {
    const ControlPlace& place = kControlPlaces[index];
    const ClassAndStyle kind = ClassOf(place.kind);
    const std::string text(place.text);
    const HWND control = CreateWindowExA(0, kind.className, text.c_str(), WS_CHILD | kind.style, place.x, place.y,
                                         place.width, place.height, window_,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(place.id)), instance, nullptr);
    if (control == nullptr) continue;
    controls_[index] = control;
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (IsSubclassed(place.id)) {
      SetWindowSubclass(control, ControlProc, static_cast<UINT_PTR>(place.id), reinterpret_cast<DWORD_PTR>(this));
    }
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
  } else if (id == kDeleteLinkId) {
    Call([&] { form_.MovingLabel28Click(); });
  } else if (id == kOpenHostId) {
    OnOpenHostApplication();
  } else if (id == kMountLinkId) {
    Call([&] { form_.Label9Click(); });
  } else if (id == kCloseId) {
    Call([&] { form_.MovingLabel21Click(); });
  }
}

void MainWindow::OnClose() {
  Call([&] { form_.FormClose(); });
  DestroyWindow(window_);
}

void MainWindow::OnKeyDown(int key) {
  if (key == VK_RETURN || key == VK_ESCAPE) Call([&] { form_.FormKeyDown(key); });
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
      if (OnControlChar(id, static_cast<char>(wParam))) return 0;
      break;
    case WM_KILLFOCUS:
      if (id == kImageNumberId) OnImageNumberLeft();
      break;
  }
  return DefSubclassProc(control, message, wParam, lParam);
}

// Enter and Escape in any control act as in the window itself, except in the extension field,
// whose own handler takes them; the up and down keys step the image number.
bool MainWindow::OnControlKeyDown(int id, int key) {
  if (id == kExtensionFieldId && (key == VK_RETURN || key == VK_ESCAPE)) {
    Call([&] { form_.FlatEdit1KeyDown(key); });
    return true;
  }
  if (key == VK_RETURN || key == VK_ESCAPE) {
    Call([&] { form_.FormKeyDown(key); });
    return true;
  }
  if (id == kImageNumberId && (key == VK_UP || key == VK_DOWN)) {
    Call([&] { form_.State().imageNumber.Step(key == VK_UP ? 1 : -1); });
    return true;
  }
  return false;
}

// Swallows the characters of Enter and Escape, which edit fields answer with a beep, and in the
// image number anything but digits, signs, the decimal separator and control characters.
bool MainWindow::OnControlChar(int id, char typed) {
  if (typed == '\r' || typed == '\x1b') return true;
  if (id != kImageNumberId || static_cast<unsigned char>(typed) < ' ') return false;
  const bool accepted = std::isdigit(static_cast<unsigned char>(typed)) != 0 || typed == '+' || typed == '-' ||
                        typed == decimalSeparator_;
  return !accepted;
}

// Focus also leaves the field for an error box that a running handler shows; only the field
// itself is collected and redrawn then, so that the handler's state is not disturbed.
void MainWindow::OnImageNumberLeft() {
  const HWND field = Control(kImageNumberId);
  if (field == nullptr) return;
  core::ImageNumberField& imageNumber = form_.State().imageNumber;
  imageNumber.text = TextOf(field);
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
  state.extensionField = TextOf(Control(kExtensionFieldId));
  state.imageNumber.text = TextOf(Control(kImageNumberId));
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
  RECT client{};
  GetClientRect(window_, &client);
  if (client.right != state.clientWidth || client.bottom != state.clientHeight) {
    RECT frame{0, 0, state.clientWidth, state.clientHeight};
    AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Centre();
  }
  for (std::size_t index = 0; index < kControlPlaces.size(); ++index) {
    const ControlPlace& place = kControlPlaces[index];
    const PanelPlace panel = PanelOf(place.panel, state);
    SetWindowPos(controls_[index], nullptr, panel.left + place.x, panel.top + place.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(controls_[index], panel.visible ? SW_SHOWNA : SW_HIDE);
  }
}

void MainWindow::ShowTexts() {
  const core::MainWindowState& state = form_.State();
  for (std::size_t index = 0; index < core::kFixedExtensionCount; ++index) {
    const bool ticked = state.glyphs[index] == core::kGlyphTicked;
    ShowText(Control(GlyphId(index)),
             std::string(core::kFixedExtensions[index].caption) + std::string(ticked ? kTicked : kCrossed));
  }
  ShowText(Control(kFileLabelId), state.fileLabel);
  ShowText(Control(kImageNumberId), state.imageNumber.text);
  ShowText(Control(kHostApplicationId), state.hostApplication);
  ShowText(Control(kExtensionFieldId), state.extensionField);
  SendMessageA(Control(kOneDriveId), BM_SETCHECK, state.oneDrive ? BST_CHECKED : BST_UNCHECKED, 0);
}

// The list is refilled only when its entries changed, so that its scroll position stays.
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
  SendMessageA(list, LB_SETCURSEL, selected ? static_cast<WPARAM>(*selected) : static_cast<WPARAM>(-1), 0);
}

void MainWindow::Centre() {
  RECT frame{};
  GetWindowRect(window_, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  SetWindowPos(window_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace dravik::windows
