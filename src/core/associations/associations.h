#pragma once
// The program's file class under the classes root and which extensions point to it. Taking an
// extension saves its former class as "dravikoldfile"; giving it back restores that class.

#include <array>
#include <string>
#include <string_view>

#include "core/associations/extension_list.h"
#include "core/associations/fixed_extensions.h"
#include "core/platform/registry.h"

namespace dravik::core {

inline constexpr std::string_view kFileClass = "dravikfile";
inline constexpr std::string_view kFileClassDescription = "Dravik File";
inline constexpr std::string_view kSavedClassValue = "dravikoldfile";
// Below .extension: the classes offered in the shell's "Open with" list, one value per class.
inline constexpr std::string_view kOpenWithKey = "OpenWithProgids";
// Below the settings key: the program as the system's default-apps settings list it, with the
// extensions it holds below kFileAssociationsKey. kRegisteredApplicationsKey under the
// local-machine root names it, in a value called kRegisteredApplicationName.
inline constexpr std::string_view kCapabilitiesKey = "Capabilities";
inline constexpr std::string_view kFileAssociationsKey = "FileAssociations";
inline constexpr std::string_view kApplicationNameValue = "ApplicationName";
inline constexpr std::string_view kApplicationDescriptionValue = "ApplicationDescription";
inline constexpr std::string_view kRegisteredApplicationsKey = "Software\\RegisteredApplications";
inline constexpr std::string_view kRegisteredApplicationName = "Dravik";

// Writes the file class with the program's icon and open command, reads the fixed extensions'
// glyphs, takes every extra extension and stores the extension list; then offers the class in
// "Open with" of every extension it holds and writes the program's capabilities with them.
void RefreshAssociations(Registry& registry, std::string_view programPath,
                         std::array<char, kFixedExtensionCount>& glyphs, const ExtensionList& extensions);

// Points .extension at the program's class, saving its former class, unless it points there
// already (then nothing is written).
void TakeExtension(Registry& registry, std::string_view extension);
// Restores the saved class of .extension and deletes the saved copy; without a saved class
// nothing changes. A restored extension leaves "Open with" and the capabilities.
void GiveBackFixedExtension(Registry& registry, std::string_view extension);
// Writes the saved class (the empty string when none was saved) as .extension's class and
// deletes the saved copy; the extension leaves "Open with" and the capabilities.
void GiveBackExtraExtension(Registry& registry, std::string_view extension);

// Whether .extension points at the program's class; a missing key is not made.
bool HoldsExtension(Registry& registry, std::string_view extension);
// Takes the class out of .extension's "Open with" and the extension out of the capabilities;
// nothing is made where nothing is to be removed.
void Withdraw(Registry& registry, std::string_view extension);

// ".extension", the key of an extension under the classes root.
std::string ExtensionKey(std::string_view extension);
std::string OpenWithPath(std::string_view extension);
// The capabilities key below the local-machine root.
std::string CapabilitiesPath();

}  // namespace dravik::core
