#include "platform/win32/version_records_win.h"

#include <cstring>

#include <windows.h>

namespace dravik::platform {

std::optional<std::string> VersionRecordsWin::Load(std::string_view path) {
  const std::string file(path);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
  if (size == 0) return std::nullopt;
  // The size asked for includes room the 8-bit query needs to convert the record's wide texts;
  // the whole buffer is kept for it.
  std::string record(size, '\0');
  if (!GetFileVersionInfoA(file.c_str(), 0, size, record.data())) return std::nullopt;
  return record;
}

std::optional<std::string> VersionRecordsWin::Query(const std::string& record, std::string_view valuePath) {
  // The 8-bit query writes its converted texts into the record's spare room, so it gets a copy;
  // the answer points into that copy.
  std::string block = record;
  const std::string path(valuePath);
  char* text = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &length) || !text) {
    return std::nullopt;
  }
  // The length may or may not count the terminating zero; the text ends at the first zero.
  const char* blockEnd = block.data() + block.size();
  if (text < block.data() || text >= blockEnd) return std::nullopt;
  const size_t room = static_cast<size_t>(blockEnd - text);
  return std::string(text, strnlen(text, length < room ? length : room));
}

}  // namespace dravik::platform
