#pragma once
// What the user may type as an extra extension.

#include <optional>
#include <string>
#include <string_view>

namespace dravik::core {

// Why text cannot be added as an extra extension, as the user reads it; nothing when it can. A
// blank text would take the bare "." key and be stored as no entry at all; a "\" would make
// subkeys of the extension's key; a "|" would split the stored list; and no file name holds
// control characters or the rest of \ / : * ? " < > |, so no file could have such an extension.
std::optional<std::string> ExtensionRefusal(std::string_view text);

}  // namespace dravik::core
