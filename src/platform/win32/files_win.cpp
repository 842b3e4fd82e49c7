#include "platform/win32/files_win.h"

#include <string>

#include <windows.h>

namespace dravik::platform {

namespace {

constexpr DWORD kErrorTextBytes = 1024;
constexpr DWORD kFirstProgramPathBytes = MAX_PATH;
// Long paths are at most 32767 characters; a buffer twice that always holds one.
constexpr DWORD kMaxProgramPathBytes = 65536;
// Reads and writes go in pieces the DWORD counts of the system calls can carry.
constexpr DWORD kChunkBytes = 1024 * 1024;

class UniqueFile {
 public:
  explicit UniqueFile(HANDLE handle) : handle_(handle) {}
  ~UniqueFile() {
    if (valid()) CloseHandle(handle_);
  }
  UniqueFile(const UniqueFile&) = delete;
  UniqueFile& operator=(const UniqueFile&) = delete;

  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

bool HasZero(std::string_view text) { return text.find('\0') != std::string_view::npos; }

core::TextFileRead Failed(DWORD code) { return {false, {}, SystemErrorText(code)}; }

DWORD ChunkOf(std::size_t left) { return left < kChunkBytes ? static_cast<DWORD>(left) : kChunkBytes; }

bool ReadAll(HANDLE file, std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    DWORD read = 0;
    if (!ReadFile(file, text.data() + done, ChunkOf(text.size() - done), &read, nullptr)) return false;
    if (read == 0) break;  // the file shrank while being read
    done += read;
  }
  text.resize(done);
  return true;
}

bool WriteAll(HANDLE file, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    DWORD written = 0;
    if (!WriteFile(file, text.data() + done, ChunkOf(text.size() - done), &written, nullptr)) return false;
    done += written;
  }
  return true;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

}  // namespace

std::string SystemErrorText(std::uint32_t code) {
  char buffer[kErrorTextBytes] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                buffer, kErrorTextBytes, nullptr);
  // The system ends its texts with a line end (after the full stop, which stays).
  while (length > 0 && static_cast<unsigned char>(buffer[length - 1]) <= ' ') --length;
  return std::string(buffer, length);
}

bool FilesWin::FileExists(std::string_view path) {
  if (HasZero(path)) return false;
  const DWORD attributes = GetFileAttributesA(std::string(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

core::TextFileRead FilesWin::ReadText(std::string_view path) {
  if (HasZero(path)) return Failed(ERROR_INVALID_NAME);
  const UniqueFile file(CreateFileA(std::string(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return Failed(GetLastError());
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return Failed(GetLastError());
  if (static_cast<std::uint64_t>(size.QuadPart) > kMaxTextFileBytes) return Failed(ERROR_FILE_TOO_LARGE);
  core::TextFileRead result{true, std::string(static_cast<std::size_t>(size.QuadPart), '\0'), {}};
  if (!ReadAll(file.get(), result.text)) return Failed(GetLastError());
  return result;
}

std::uint32_t FilesWin::WriteLines(std::string_view path, const std::vector<std::string>& lines) {
  if (HasZero(path)) return ERROR_INVALID_NAME;
  const UniqueFile file(CreateFileA(std::string(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return GetLastError();
  if (!WriteAll(file.get(), JoinLines(lines))) return GetLastError();
  return ERROR_SUCCESS;
}

std::string FilesWin::ProgramPath() {
  // The system cuts the path to the buffer and answers the buffer's size when it did.
  for (DWORD capacity = kFirstProgramPathBytes; capacity <= kMaxProgramPathBytes; capacity *= 2) {
    std::string path(capacity, '\0');
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), capacity);
    if (length == 0) return {};
    if (length < capacity) return path.substr(0, length);
  }
  return {};
}

}  // namespace dravik::platform
