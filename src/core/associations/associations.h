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

// Writes the file class with the program's icon and open command, reads the fixed extensions'
// glyphs, takes every extra extension and stores the extension list.
void RefreshAssociations(Registry& registry, std::string_view programPath,
                         std::array<char, kFixedExtensionCount>& glyphs, const ExtensionList& extensions);

// Points .extension at the program's class, saving its former class, unless it points there
// already (then nothing is written).
void TakeExtension(Registry& registry, std::string_view extension);
// Restores the saved class of .extension and deletes the saved copy; without a saved class
// nothing changes.
void GiveBackFixedExtension(Registry& registry, std::string_view extension);
// Writes the saved class (the empty string when none was saved) as .extension's class and
// deletes the saved copy.
void GiveBackExtraExtension(Registry& registry, std::string_view extension);

}  // namespace dravik::core
