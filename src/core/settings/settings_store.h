#pragma once
// The program's three settings under the local-machine root, and the one-string form of the
// extra extensions.

#include <string>
#include <string_view>
#include <vector>

#include "core/main_window/main_window_state.h"
#include "core/platform/registry.h"

namespace dravik::core {

inline constexpr std::string_view kSettingsKey = "Software\\Varnholt\\Dravik";
inline constexpr std::string_view kHostApplicationValue = "";  // the key's default value
inline constexpr std::string_view kOneDriveValue = "OneDrive";
inline constexpr std::string_view kAdditionalExtensionsValue = "Additional Extensions";

// "img|vcd" for img and vcd; every entry counts, empty ones included.
std::string JoinExtensions(const std::vector<std::string>& entries);
// The pieces between the bars, in order: "" gives none, "a||b" gives a, "" and b, "a|" gives a
// and "".
std::vector<std::string> SplitExtensions(std::string_view joined);

// Puts the host application, the option (only when stored) and the extension list into state.
void ReadSettings(Registry& registry, MainWindowState& state);
// Writes the host application and the option.
void WriteSettings(Registry& registry, const MainWindowState& state);
// Writes the extension list.
void WriteExtensionList(Registry& registry, const ExtensionList& extensions);

}  // namespace dravik::core
