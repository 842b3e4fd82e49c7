#include "engine/library/ansi_case.h"

namespace dravik::engine::library {

std::string MapCase(std::string_view text, const CaseTable& table) {
  std::string mapped(text);
  for (char& c : mapped) c = static_cast<char>(table[static_cast<std::uint8_t>(c)]);
  return mapped;
}

}  // namespace dravik::engine::library
