#include "platform/win32/shell_win.h"

#include <string>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

namespace dravik::platform {

namespace {

// An empty parameter or folder is passed as none, which the shell documents (no parameters, the
// current folder) rather than as an empty text it may read otherwise.
const char* OrNone(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

}  // namespace

void ShellWin::Execute(std::string_view file, std::string_view parameters, std::string_view folder) {
  const std::string fileText(file);
  const std::string parametersText(parameters);
  const std::string folderText(folder);
  // A null verb is the shell's default verb ("open" for most files); the start is not waited for
  // and its outcome is not reported, by contract.
  ShellExecuteA(nullptr, nullptr, fileText.c_str(), OrNone(parametersText), OrNone(folderText), SW_SHOWNORMAL);
}

void ShellWin::Open(std::string_view target) {
  const std::string targetText(target);
  ShellExecuteA(GetDesktopWindow(), "open", targetText.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void ShellWin::NotifyAssociationsChanged() {
  // The shell documents this notice as sent with SHCNF_IDLIST and no items.
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

}  // namespace dravik::platform
