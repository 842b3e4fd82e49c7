#include <ostream>

#include "dk2/dk2.h"
#include "dk2/script_compilation.h"
#include "dk2/source_file.h"

namespace dravik::dk2 {

int CheckCommand(const std::string& path, std::ostream& out, std::ostream& err) {
  std::optional<std::string> text = ReadSourceFile(path, err);
  if (!text) return kExitUsage;
  const engine::CompileResult compilation = CompileScript(*text);
  for (const std::string& line : compilation.messages) out << line << "\n";
  return compilation.ok ? kExitOk : kExitScriptFailed;
}

}  // namespace dravik::dk2
