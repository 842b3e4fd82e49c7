#include "dk2/source_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <ostream>

namespace dravik::dk2 {

namespace {
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
}  // namespace

std::optional<std::string> ReadSourceFile(const std::string& path, std::ostream& err) {
  errno = 0;
  // Binary mode: line ends reach the tokenizer exactly as written, CR LF included.
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  std::string text;
  if (file) {
    char buffer[1 << 16];
    std::size_t got;
    // One byte beyond the limit tells a file of exactly the limit from a longer one.
    while (text.size() <= kMaxInputBytes &&
           (got = std::fread(buffer, 1, std::min(sizeof buffer, kMaxInputBytes + 1 - text.size()), file.get())) > 0)
      text.append(buffer, got);
    if (text.size() > kMaxInputBytes) {
      err << "dk2: '" << path << "' is larger than " << (kMaxInputBytes >> 20) << " MiB\n";
      return std::nullopt;
    }
    if (!std::ferror(file.get())) return text;
  }
  const int reason = errno != 0 ? errno : EIO;
  err << "dk2: cannot read '" << path << "': " << std::strerror(reason) << "\n";
  return std::nullopt;
}

}  // namespace dravik::dk2
