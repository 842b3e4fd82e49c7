#include <ostream>

#include "dk2/dk2.h"
#include "dk2/source_file.h"
#include "engine/engine.h"

namespace dravik::dk2 {

int TokensCommand(const std::string& path, std::ostream& out, std::ostream& err) {
  std::optional<std::string> text = ReadSourceFile(path, err);
  if (!text) return kExitUsage;
  const engine::TokenListing listing = engine::ListTokens(*text);
  for (const std::string& line : listing.lines) out << line << "\n";
  return listing.ok ? kExitOk : kExitScriptFailed;
}

}  // namespace dravik::dk2
