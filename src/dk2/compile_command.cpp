#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <ostream>

#include "dk2/dk2.h"
#include "dk2/script_compilation.h"
#include "dk2/source_file.h"

namespace dravik::dk2 {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

bool WriteImageFile(const std::string& path, const std::string& image, std::ostream& err) {
  errno = 0;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  bool ok = file != nullptr && std::fwrite(image.data(), 1, image.size(), file.get()) == image.size();
  if (file != nullptr) ok = std::fclose(file.release()) == 0 && ok;
  if (!ok) {
    const int reason = errno != 0 ? errno : EIO;
    err << "dk2: cannot write '" << path << "': " << std::strerror(reason) << "\n";
  }
  return ok;
}

}  // namespace

int CompileCommand(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  if (words.size() != 3 || words[1] != "-o") {
    err << "dk2: compile takes FILE -o IMAGE\n";
    return kExitUsage;
  }
  std::optional<std::string> text = ReadSourceFile(words[0], err);
  if (!text) return kExitUsage;
  const engine::CompileResult compilation = CompileScript(*text);
  for (const std::string& line : compilation.messages) out << line << "\n";
  if (!compilation.ok) return kExitScriptFailed;
  return WriteImageFile(words[2], compilation.image, err) ? kExitOk : kExitUsage;
}

}  // namespace dravik::dk2
