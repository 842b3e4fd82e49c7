#include <ostream>

#include "dk2/dk2.h"
#include "dk2/script_compilation.h"
#include "dk2/source_file.h"
#include "engine/engine.h"

namespace dravik::dk2 {

namespace {

constexpr std::string_view kImageOption = "--image";

int DumpImageFile(const std::string& path, std::ostream& out, std::ostream& err) {
  std::optional<std::string> image = ReadSourceFile(path, err);
  if (!image) return kExitUsage;
  out << engine::ListImage(*image);
  return kExitOk;
}

// A script that does not compile has no image: its messages are printed as check prints them.
int DumpScriptFile(const std::string& path, std::ostream& out, std::ostream& err) {
  std::optional<std::string> text = ReadSourceFile(path, err);
  if (!text) return kExitUsage;
  const engine::CompileResult compilation = CompileScript(*text);
  if (!compilation.ok) {
    for (const std::string& line : compilation.messages) out << line << "\n";
    return kExitScriptFailed;
  }
  out << engine::ListImage(compilation.image, compilation.debugOutput);
  return kExitOk;
}

}  // namespace

int DumpCommand(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  if (words.size() == 1 && words[0] != kImageOption) return DumpScriptFile(words[0], out, err);
  if (words.size() == 2 && words[0] == kImageOption) return DumpImageFile(words[1], out, err);
  err << "dk2: dump takes FILE or --image IMAGE\n";
  return kExitUsage;
}

}  // namespace dravik::dk2
