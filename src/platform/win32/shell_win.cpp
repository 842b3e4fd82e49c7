#include "platform/win32/shell_win.h"

#include <string>

#include "platform/win32/files_win.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

namespace dravik::platform {

namespace {

// An empty parameter or folder is passed as none, which the shell documents (no parameters, the
// current folder) rather than as an empty text it may read otherwise.
const char* OrNone(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

// Some of the system's texts name the file as "%1" ("%1 is not a valid Win32 application.").
std::string NamingFile(std::string reason, const std::string& file) {
  constexpr std::string_view kFileInsert = "%1";
  for (std::size_t at = 0; (at = reason.find(kFileInsert, at)) != std::string::npos; at += file.size())
    reason.replace(at, kFileInsert.size(), file);
  return reason;
}

}  // namespace

core::ShellStart ShellWin::Execute(std::string_view file, std::string_view parameters, std::string_view folder) {
  const std::string fileText(file);
  const std::string parametersText(parameters);
  const std::string folderText(folder);
  SHELLEXECUTEINFOA start{};
  start.cbSize = sizeof(start);
  // The shell would otherwise answer a failed start with a box of its own (or an "Open with"
  // dialog for a document without a program); the caller reports it instead.
  start.fMask = SEE_MASK_FLAG_NO_UI;
  start.lpVerb = nullptr;  // the shell's default verb ("open" for most files)
  start.lpFile = fileText.c_str();
  start.lpParameters = OrNone(parametersText);
  start.lpDirectory = OrNone(folderText);
  start.nShow = SW_SHOWNORMAL;
  if (ShellExecuteExA(&start)) return {};
  return {false, NamingFile(SystemErrorText(GetLastError()), fileText)};
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
