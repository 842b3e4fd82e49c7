// Drives and inspects a running dravik.exe from inside the same Wine session, for the end-to-end
// scenarios of run_scenarios.sh. One verb per start:
//
//   dravik_probe VERB ARGS...
//
// Exit status: 0 done, 1 the awaited state did not come (timeout, window or control missing),
// 2 wrong usage. Texts are printed in the system's 8-bit code page, byte for byte, with each
// CR LF turned into "\n"; every printed text ends with "\n".

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Args = std::vector<std::string>;

constexpr char kMainClass[] = "DravikMainWindow";
constexpr char kAboutClass[] = "DravikAboutWindow";
constexpr int kAboutCloseId = 201;
constexpr int kAboutVersionId = 204;
// The one string table of the program's version record: US English, code page 1252.
constexpr char kVersionTable[] = "\\StringFileInfo\\040904E4\\";
constexpr char kBoxClass[] = "#32770";
constexpr char kWatchdogClass[] = "DravikScriptWatchdog";
constexpr int kWatchdogTextId = 301;
constexpr int kWatchdogStopId = 302;
constexpr char kAnyCaption[] = "*";
constexpr int kCloseId = 130;
constexpr int kDefaultWaitSeconds = 20;
constexpr DWORD kPollMs = 50;
constexpr UINT kReplyTimeoutMs = 5000;
// Where a message box keeps its text: Windows gives the static control the ID 0xFFFF; another
// ID is tolerated by falling back to the box's first static control that holds text.
constexpr int kBoxTextId = 0xFFFF;
constexpr size_t kMaxText = 65536;

enum Status { kDone = 0, kNotReached = 1, kUsage = 2 };

void Print(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  out += '\n';
  fwrite(out.data(), 1, out.size(), stdout);
}

int Fail(const std::string& why) {
  fprintf(stderr, "dravik_probe: %s\n", why.c_str());
  return kNotReached;
}

// Polls `reached` until it holds or `seconds` have passed.
template <typename Condition>
bool WaitUntil(Condition reached, int seconds) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
  for (;;) {
    if (reached()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(kPollMs);
  }
}

bool ParseInt(const std::string& text, long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  *value = strtol(text.c_str(), &end, 10);
  return *end == '\0';
}

int SecondsArg(const Args& args, size_t index, int fallback) {
  long seconds = fallback;
  if (index < args.size() && !ParseInt(args[index], &seconds)) return -1;
  return static_cast<int>(seconds);
}

HWND MainWindow() { return FindWindowA(kMainClass, nullptr); }

// Texts cross to the other process in UTF-16 and are turned from and into the system's 8-bit
// code page here: some systems do not convert a list box's text for an 8-bit caller in another
// process.
std::string ToAnsi(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), ansi.data(), size,
                      nullptr, nullptr);
  return ansi;
}

std::wstring ToWide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

// Sends and answers the reply, or `failed` when the window does not answer in time.
LRESULT SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT failed) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kReplyTimeoutMs,
                           &result)) {
    return failed;
  }
  return static_cast<LRESULT>(result);
}

std::string WindowText(HWND window) {
  std::wstring text(kMaxText, L'\0');
  const LRESULT length =
      SendWithTimeout(window, WM_GETTEXT, kMaxText, reinterpret_cast<LPARAM>(text.data()), 0);
  text.resize(length > 0 && static_cast<size_t>(length) < kMaxText ? static_cast<size_t>(length)
                                                                   : 0);
  return ToAnsi(text);
}

// The window answers messages again (it is not busy inside a handler).
bool Responds(HWND window) {
  constexpr LRESULT kNoAnswer = -1;
  return SendWithTimeout(window, WM_NULL, 0, 0, kNoAnswer) != kNoAnswer;
}

// A posted message is taken only after the messages sent before it; the second of two sent
// messages is handled once the thread asks for messages again, i.e. after the posted one has been
// handled or inside a modal loop it opened (a message box).
void LetPostedMessagesRun(HWND window) {
  Responds(window);
  Responds(window);
}

struct CaptionMatch {
  const std::string* caption;
  HWND found;
};

BOOL CALLBACK MatchBox(HWND window, LPARAM data) {
  auto* match = reinterpret_cast<CaptionMatch*>(data);
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  if (strcmp(className, kBoxClass) != 0 || !IsWindowVisible(window)) return TRUE;
  if (*match->caption != kAnyCaption && WindowText(window) != *match->caption) return TRUE;
  match->found = window;
  return FALSE;
}

HWND FindBox(const std::string& caption) {
  CaptionMatch match{&caption, nullptr};
  EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&match));
  return match.found;
}

BOOL CALLBACK FirstStaticWithText(HWND child, LPARAM data) {
  char className[64] = {};
  GetClassNameA(child, className, sizeof className);
  if (_stricmp(className, "Static") != 0 || WindowText(child).empty()) return TRUE;
  *reinterpret_cast<HWND*>(data) = child;
  return FALSE;
}

std::string BoxText(HWND box) {
  HWND text = GetDlgItem(box, kBoxTextId);
  if (!text) EnumChildWindows(box, FirstStaticWithText, reinterpret_cast<LPARAM>(&text));
  return text ? WindowText(text) : std::string();
}

// Prints the box's text, presses its OK button and waits until the box has gone.
int AnswerBox(HWND box) {
  Print(BoxText(box));
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  if (!WaitUntil([box] { return !IsWindow(box); }, kDefaultWaitSeconds)) {
    return Fail("the box did not close");
  }
  return kDone;
}

// box CAPTION [SECONDS]: answers a message box with that caption ("*": any).
int BoxVerb(const Args& args) {
  const int seconds = SecondsArg(args, 1, kDefaultWaitSeconds);
  if (seconds < 0) return kUsage;
  HWND box = nullptr;
  if (!WaitUntil([&] { return (box = FindBox(args[0])) != nullptr; }, seconds)) {
    return Fail("no box \"" + args[0] + "\"");
  }
  return AnswerBox(box);
}

// no-box CAPTION SECONDS: no such box shows within SECONDS; one that does is answered and fails.
int NoBoxVerb(const Args& args) {
  const int seconds = SecondsArg(args, 1, 0);
  if (seconds < 0) return kUsage;
  HWND box = nullptr;
  if (!WaitUntil([&] { return (box = FindBox(args[0])) != nullptr; }, seconds)) return kDone;
  const std::string caption = WindowText(box);
  AnswerBox(box);
  return Fail("unexpected box \"" + caption + "\"");
}

// wait-main [SECONDS]: the main window exists and answers messages.
int WaitMainVerb(const Args& args) {
  const int seconds = SecondsArg(args, 0, kDefaultWaitSeconds);
  if (seconds < 0) return kUsage;
  const bool up = WaitUntil(
      [] {
        HWND main = MainWindow();
        return main && Responds(main);
      },
      seconds);
  return up ? kDone : Fail("no main window");
}

// gone [SECONDS]: the main window no longer exists.
int GoneVerb(const Args& args) {
  const int seconds = SecondsArg(args, 0, kDefaultWaitSeconds);
  if (seconds < 0) return kUsage;
  return WaitUntil([] { return MainWindow() == nullptr; }, seconds)
             ? kDone
             : Fail("the main window is still there");
}

// Resolves a control of the main window, or answers why not.
HWND Control(const std::string& idText, HWND* main) {
  long id = 0;
  *main = MainWindow();
  if (!*main || !ParseInt(idText, &id)) return nullptr;
  return GetDlgItem(*main, static_cast<int>(id));
}

int ClickControl(const std::string& idText) {
  HWND main = nullptr;
  HWND button = Control(idText, &main);
  if (!button) return Fail("no control " + idText);
  // Posted, not sent: the click may open a modal box, which must not hold the probe.
  PostMessageA(button, BM_CLICK, 0, 0);
  LetPostedMessagesRun(main);
  return kDone;
}

// click ID: clicks a push button or check box of the main window.
int ClickVerb(const Args& args) { return ClickControl(args[0]); }

// close: clicks the "X" of the main window.
int CloseVerb(const Args&) { return ClickControl(std::to_string(kCloseId)); }

bool SetControlText(const std::string& idText, const std::string& text, HWND* main, HWND* field) {
  *field = Control(idText, main);
  if (!*field) return false;
  const std::wstring wide = ToWide(text);
  SendWithTimeout(*field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), FALSE);
  return true;
}

// set-text ID TEXT: sets a control's text, as typing would.
int SetTextVerb(const Args& args) {
  HWND main = nullptr;
  HWND field = nullptr;
  return SetControlText(args[0], args[1], &main, &field) ? kDone : Fail("no control " + args[0]);
}

// enter-text ID TEXT: sets an edit field's text, then presses Enter in it.
int EnterTextVerb(const Args& args) {
  HWND main = nullptr;
  HWND field = nullptr;
  if (!SetControlText(args[0], args[1], &main, &field)) return Fail("no control " + args[0]);
  PostMessageA(field, WM_KEYDOWN, VK_RETURN, 1);
  LetPostedMessagesRun(main);
  return kDone;
}

// select ID INDEX: selects a list entry and tells the main window, as a user's click would.
int SelectVerb(const Args& args) {
  HWND main = nullptr;
  HWND list = Control(args[0], &main);
  long index = 0;
  if (!ParseInt(args[1], &index)) return kUsage;
  if (!list) return Fail("no control " + args[0]);
  SendWithTimeout(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0, LB_ERR);
  PostMessageA(main, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list));
  LetPostedMessagesRun(main);
  return kDone;
}

// text ID: prints a control's text.
int TextVerb(const Args& args) {
  HWND main = nullptr;
  HWND control = Control(args[0], &main);
  if (!control) return Fail("no control " + args[0]);
  Print(WindowText(control));
  return kDone;
}

// list ID: prints a list box's entries, one per line.
int ListVerb(const Args& args) {
  HWND main = nullptr;
  HWND list = Control(args[0], &main);
  if (!list) return Fail("no control " + args[0]);
  const LRESULT count = SendWithTimeout(list, LB_GETCOUNT, 0, 0, LB_ERR);
  for (LRESULT i = 0; i < count; ++i) {
    const WPARAM index = static_cast<WPARAM>(i);
    const LRESULT length = SendWithTimeout(list, LB_GETTEXTLEN, index, 0, LB_ERR);
    if (length < 0 || static_cast<size_t>(length) >= kMaxText) return Fail("unreadable entry");
    std::wstring entry(static_cast<size_t>(length) + 1, L'\0');
    SendWithTimeout(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(entry.data()), LB_ERR);
    entry.resize(static_cast<size_t>(length));
    Print(ToAnsi(entry));
  }
  return kDone;
}

// Registry paths are written ROOT\path, ROOT one of HKLM, HKCR, HKCU; the value name "@" is the
// key's default value.
bool SplitKeyPath(const std::string& path, HKEY* root, std::string* subKey) {
  struct RootName {
    const char* name;
    HKEY root;
  };
  static const RootName kRoots[] = {
      {"HKLM", HKEY_LOCAL_MACHINE}, {"HKCR", HKEY_CLASSES_ROOT}, {"HKCU", HKEY_CURRENT_USER}};
  const size_t slash = path.find('\\');
  if (slash == std::string::npos) return false;
  for (const RootName& candidate : kRoots) {
    if (path.compare(0, slash, candidate.name) != 0) continue;
    *root = candidate.root;
    *subKey = path.substr(slash + 1);
    return true;
  }
  return false;
}

const char* ValueName(const std::string& name) { return name == "@" ? nullptr : name.c_str(); }

std::string DescribeValue(DWORD type, const std::string& data) {
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      const std::string text = data.substr(0, data.find('\0'));
      return (type == REG_SZ ? "REG_SZ " : "REG_EXPAND_SZ ") + text;
    }
    case REG_DWORD: {
      DWORD number = 0;
      if (data.size() != sizeof number)
        return "REG_DWORD (size " + std::to_string(data.size()) + ")";
      memcpy(&number, data.data(), sizeof number);
      return "REG_DWORD " + std::to_string(number);
    }
    default:
      return "type " + std::to_string(type) + " (" + std::to_string(data.size()) + " bytes)";
  }
}

// reg KEY NAME: prints "REG_SZ text", "REG_DWORD number", "absent" (key without that value) or
// "no key", read through the same 8-bit interface as the program reads it.
int RegVerb(const Args& args) {
  HKEY root = nullptr;
  std::string subKey;
  if (!SplitKeyPath(args[0], &root, &subKey)) return kUsage;
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    Print("no key");
    return kDone;
  }
  DWORD type = 0;
  DWORD size = 0;
  const char* name = ValueName(args[1]);
  LONG status = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
  std::string data(size, '\0');
  if (status == ERROR_SUCCESS) {
    status =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
  }
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) {
    Print("absent");
    return kDone;
  }
  data.resize(size);
  Print(DescribeValue(type, data));
  return kDone;
}

int SetValue(const Args& args, DWORD type, const BYTE* data, DWORD size) {
  HKEY root = nullptr;
  std::string subKey;
  if (!SplitKeyPath(args[0], &root, &subKey)) return kUsage;
  HKEY key = nullptr;
  if (RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return Fail("cannot create " + args[0]);
  }
  const LONG status = RegSetValueExA(key, ValueName(args[1]), 0, type, data, size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? kDone : Fail("cannot set " + args[1]);
}

// set-sz KEY NAME TEXT: writes a string value, creating the key.
int SetSzVerb(const Args& args) {
  const std::string& text = args[2];
  return SetValue(args, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                  static_cast<DWORD>(text.size() + 1));
}

// set-expand-sz KEY NAME TEXT: writes an expandable string value, creating the key.
int SetExpandSzVerb(const Args& args) {
  const std::string& text = args[2];
  return SetValue(args, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                  static_cast<DWORD>(text.size() + 1));
}

// set-dword KEY NAME NUMBER: writes a 32-bit integer value, creating the key.
int SetDwordVerb(const Args& args) {
  long number = 0;
  if (!ParseInt(args[2], &number)) return kUsage;
  const DWORD value = static_cast<DWORD>(number);
  return SetValue(args, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

// delete-keys KEY...: removes each key with everything below it; a missing key is fine.
int DeleteKeysVerb(const Args& args) {
  for (const std::string& path : args) {
    HKEY root = nullptr;
    std::string subKey;
    if (!SplitKeyPath(path, &root, &subKey) || subKey.empty()) return kUsage;
    const LONG status = RegDeleteTreeA(root, subKey.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
      return Fail("cannot delete " + path);
    RegDeleteKeyA(root, subKey.c_str());
  }
  return kDone;
}

HWND ShownAboutWindow() {
  HWND about = FindWindowA(kAboutClass, nullptr);
  return about && IsWindowVisible(about) ? about : nullptr;
}

// about-version [SECONDS]: waits for the About window to show and prints its version label. The
// About window is modal: the main window must be disabled meanwhile.
int AboutVersionVerb(const Args& args) {
  const int seconds = SecondsArg(args, 0, kDefaultWaitSeconds);
  if (seconds < 0) return kUsage;
  HWND about = nullptr;
  if (!WaitUntil([&] { return (about = ShownAboutWindow()) != nullptr; }, seconds)) {
    return Fail("no About window");
  }
  HWND main = MainWindow();
  if (main && IsWindowEnabled(main)) return Fail("the main window is not disabled");
  HWND label = GetDlgItem(about, kAboutVersionId);
  if (!label) return Fail("no version label");
  Print(WindowText(label));
  return kDone;
}

// about-close: clicks the About window's "X" and waits until the window has gone from view and
// the main window is enabled again.
int AboutCloseVerb(const Args&) {
  HWND about = ShownAboutWindow();
  HWND close = about ? GetDlgItem(about, kAboutCloseId) : nullptr;
  if (!close) return Fail("no About window");
  PostMessageA(close, BM_CLICK, 0, 0);
  if (!WaitUntil([] { return ShownAboutWindow() == nullptr; }, kDefaultWaitSeconds)) {
    return Fail("the About window is still shown");
  }
  HWND main = MainWindow();
  return main && !IsWindowEnabled(main) ? Fail("the main window stays disabled") : kDone;
}

std::string VersionText(std::vector<char>& record, const char* name) {
  char* text = nullptr;
  UINT length = 0;
  const std::string path = std::string(kVersionTable) + name;
  if (!VerQueryValueA(record.data(), path.c_str(), reinterpret_cast<void**>(&text), &length) || !text) {
    return "(none)";
  }
  return std::string(text, strnlen(text, length));
}

// version FILE: prints the file's version text and description from its US English table.
int VersionVerb(const Args& args) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(args[0].c_str(), &ignored);
  if (size == 0) return Fail("no version record in " + args[0]);
  std::vector<char> record(size);
  if (!GetFileVersionInfoA(args[0].c_str(), 0, size, record.data())) return Fail("cannot read " + args[0]);
  Print(VersionText(record, "FileVersion"));
  Print(VersionText(record, "FileDescription"));
  return kDone;
}

// key ID KEY: presses KEY (return or escape) in a control of the main window, or in the window
// itself for ID 0, as the system hands a key to the one with the focus.
int KeyVerb(const Args& args) {
  const WPARAM key = args[1] == "return" ? VK_RETURN : args[1] == "escape" ? VK_ESCAPE : 0;
  if (key == 0) return kUsage;
  HWND main = nullptr;
  HWND target = args[0] == "0" ? (main = MainWindow()) : Control(args[0], &main);
  if (!target) return Fail("no control " + args[0]);
  PostMessageA(target, WM_KEYDOWN, key, 1);
  LetPostedMessagesRun(main);
  return kDone;
}

// caption: prints the main window's own text.
int CaptionVerb(const Args&) {
  HWND main = MainWindow();
  if (!main) return Fail("no main window");
  Print(WindowText(main));
  return kDone;
}

struct TaskbarSearch {
  DWORD process;
  std::vector<std::string> entries;
};

// The shell's rule: a shown window has a task-bar entry when it asks for one, or when it has no
// owner and is no tool window.
BOOL CALLBACK AddTaskbarEntry(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<TaskbarSearch*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != search->process || !IsWindowVisible(window)) return TRUE;
  const LONG_PTR exStyle = GetWindowLongPtrA(window, GWL_EXSTYLE);
  const bool unowned = GetWindow(window, GW_OWNER) == nullptr;
  if ((exStyle & WS_EX_APPWINDOW) != 0 || (unowned && (exStyle & WS_EX_TOOLWINDOW) == 0)) {
    search->entries.push_back(WindowText(window));
  }
  return TRUE;
}

// taskbar: prints the texts of the task-bar entries of the main window's program, one per line.
int TaskbarVerb(const Args&) {
  HWND main = MainWindow();
  if (!main) return Fail("no main window");
  TaskbarSearch search{0, {}};
  GetWindowThreadProcessId(main, &search.process);
  EnumWindows(AddTaskbarEntry, reinterpret_cast<LPARAM>(&search));
  for (const std::string& entry : search.entries) Print(entry);
  return kDone;
}

HWND ShownWatchdog() {
  HWND watchdog = FindWindowA(kWatchdogClass, nullptr);
  return watchdog && IsWindowVisible(watchdog) ? watchdog : nullptr;
}

// stop-script [SECONDS]: waits for the offer to stop a busy script, prints its text, presses
// Stop and waits until the offer has gone.
int StopScriptVerb(const Args& args) {
  const int seconds = SecondsArg(args, 0, kDefaultWaitSeconds);
  if (seconds < 0) return kUsage;
  HWND watchdog = nullptr;
  if (!WaitUntil([&] { return (watchdog = ShownWatchdog()) != nullptr; }, seconds)) {
    return Fail("no offer to stop the script");
  }
  Print(WindowText(GetDlgItem(watchdog, kWatchdogTextId)));
  PostMessageA(GetDlgItem(watchdog, kWatchdogStopId), BM_CLICK, 0, 0);
  if (!WaitUntil([] { return ShownWatchdog() == nullptr; }, kDefaultWaitSeconds)) {
    return Fail("the offer to stop stays");
  }
  return kDone;
}

struct Verb {
  const char* name;
  size_t minArgs;
  size_t maxArgs;
  const char* usage;
  int (*run)(const Args&);
};

constexpr size_t kAny = static_cast<size_t>(-1);

constexpr Verb kVerbs[] = {
    {"box", 1, 2, "box CAPTION [SECONDS]", BoxVerb},
    {"no-box", 2, 2, "no-box CAPTION SECONDS", NoBoxVerb},
    {"wait-main", 0, 1, "wait-main [SECONDS]", WaitMainVerb},
    {"gone", 0, 1, "gone [SECONDS]", GoneVerb},
    {"click", 1, 1, "click ID", ClickVerb},
    {"close", 0, 0, "close", CloseVerb},
    {"set-text", 2, 2, "set-text ID TEXT", SetTextVerb},
    {"enter-text", 2, 2, "enter-text ID TEXT", EnterTextVerb},
    {"select", 2, 2, "select ID INDEX", SelectVerb},
    {"text", 1, 1, "text ID", TextVerb},
    {"list", 1, 1, "list ID", ListVerb},
    {"reg", 2, 2, "reg KEY NAME", RegVerb},
    {"set-sz", 3, 3, "set-sz KEY NAME TEXT", SetSzVerb},
    {"set-dword", 3, 3, "set-dword KEY NAME NUMBER", SetDwordVerb},
    {"delete-keys", 1, kAny, "delete-keys KEY...", DeleteKeysVerb},
    {"about-version", 0, 1, "about-version [SECONDS]", AboutVersionVerb},
    {"about-close", 0, 0, "about-close", AboutCloseVerb},
    {"version", 1, 1, "version FILE", VersionVerb},
    {"key", 2, 2, "key ID return|escape", KeyVerb},
    {"caption", 0, 0, "caption", CaptionVerb},
    {"taskbar", 0, 0, "taskbar", TaskbarVerb},
    {"set-expand-sz", 3, 3, "set-expand-sz KEY NAME TEXT", SetExpandSzVerb},
    {"stop-script", 0, 1, "stop-script [SECONDS]", StopScriptVerb},
};

int Usage() {
  fprintf(stderr, "usage: dravik_probe VERB ARGS...\n");
  for (const Verb& verb : kVerbs) fprintf(stderr, "  %s\n", verb.usage);
  return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
  // Texts go out byte for byte, so that the scenarios can compare them exactly.
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc < 2) return Usage();
  const Args args(argv + 2, argv + argc);
  for (const Verb& verb : kVerbs) {
    if (strcmp(verb.name, argv[1]) != 0) continue;
    if (args.size() < verb.minArgs || args.size() > verb.maxArgs) return Usage();
    const int status = verb.run(args);
    return status == kUsage ? Usage() : status;
  }
  return Usage();
}
