#include "core/associations/extension_text.h"

#include <algorithm>

#include "core/messages.h"
#include "core/paths.h"

namespace dravik::core {

namespace {

constexpr std::string_view kForbiddenCharacters = "\\/:*?\"<>|";

bool Forbidden(char c) {
  return static_cast<unsigned char>(c) < ' ' || kForbiddenCharacters.find(c) != std::string_view::npos;
}

}  // namespace

std::optional<std::string> ExtensionRefusal(std::string_view text) {
  if (Trimmed(text).empty()) return std::string(kBlankExtension);
  if (std::any_of(text.begin(), text.end(), Forbidden)) return ForbiddenInExtension(text);
  return std::nullopt;
}

}  // namespace dravik::core
