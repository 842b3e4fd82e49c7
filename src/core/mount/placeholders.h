#pragma once
// The two names a script or a mount request may put in a path: {scriptfilepath}, the folder of
// the file the program was started with, and {powerdvdpath}, a DVD player's installation folder.

#include <string>
#include <string_view>

#include "core/platform/registry.h"

namespace dravik::core {

inline constexpr std::string_view kScriptFilePathPlaceholder = "{scriptfilepath}";
inline constexpr std::string_view kPowerDvdPathPlaceholder = "{powerdvdpath}";
inline constexpr std::string_view kPowerDvdKey = "SOFTWARE\\CyberLink\\PowerDVD";
inline constexpr std::string_view kPowerDvdFolderValue = "InstallDir";

// Replaces every placeholder in text, found without regard to case, by value, from the left; an
// inserted value is not searched again.
void ReplacePlaceholder(std::string& text, std::string_view placeholder, std::string_view value);

// "powerdvdpath" (in any case) gives the player's folder with a "\" at its end, a lone "\" when
// it is not recorded (or not as a string); any other name the empty string. The key is never
// created.
std::string GetNamedPath(Registry& registry, std::string_view name);

// The folder of argumentFile without a trailing "\": "D:\Images" for D:\Images\a.iso, "C:" for
// C:\a.iso, empty without a folder.
std::string ScriptFilePath(std::string_view argumentFile);

// Both placeholders, {scriptfilepath} first; the player's folder is read each time.
void ExpandPlaceholders(std::string& text, std::string_view argumentFile, Registry& registry);

}  // namespace dravik::core
