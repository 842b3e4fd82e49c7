// Stands in for the virtual-drive program that Dravik starts: it writes down how it was started
// and ends. Each start appends one block to host_record.txt in its own folder:
//
//   command line: <the command line exactly as this process received it>
//   working folder: <the current folder it was started in>
//
// each line ended by CR LF. Nothing else happens, so it is also a safe host application to choose
// in the settings window when trying Dravik out.

#include <windows.h>

#include <string>

namespace {

constexpr char kRecordName[] = "host_record.txt";
// Dravik starts the host and then the mount script, which may start this program again at once:
// the record file is opened without sharing, and a start that finds it busy tries again.
constexpr int kOpenAttempts = 200;
constexpr DWORD kOpenRetryMs = 25;

std::string OwnFolder() {
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::string CurrentFolder() {
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetCurrentDirectoryA(MAX_PATH, path);
  return std::string(path, length <= MAX_PATH ? length : 0);
}

HANDLE OpenRecordForAppending(const std::string& path) {
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION) return file;
    Sleep(kOpenRetryMs);
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const std::string block = std::string("command line: ") + GetCommandLineA() +
                            "\r\nworking folder: " + CurrentFolder() + "\r\n";
  HANDLE record = OpenRecordForAppending(OwnFolder() + kRecordName);
  if (record == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  const BOOL ok =
      WriteFile(record, block.data(), static_cast<DWORD>(block.size()), &written, nullptr);
  CloseHandle(record);
  return ok && written == block.size() ? 0 : 1;
}
