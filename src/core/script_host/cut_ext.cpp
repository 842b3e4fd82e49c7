#include "core/script_host/cut_ext.h"

#include "engine/engine.h"

namespace dravik::core {

std::string CutExt(std::string_view filename) {
  if (filename.size() <= 1 || filename.find('.') == std::string_view::npos) return {};
  // The search starts at the next-to-last character, so a trailing dot is never the one found.
  const std::size_t dot = filename.substr(0, filename.size() - 1).rfind('.');
  const std::size_t start = dot == std::string_view::npos ? 1 : dot + 1;
  return engine::AsciiUpperCase(filename.substr(start));
}

}  // namespace dravik::core
