#pragma once
// The way out: `dravik.exe /unregister` gives back every extension the program holds and removes
// everything it registered with the shell, then ends without a window. The uninstaller runs it.

#include <string>
#include <string_view>
#include <vector>

#include "core/platform/registry.h"
#include "core/platform/shell.h"

namespace dravik::core {

inline constexpr std::string_view kUnregisterSwitch = "/unregister";

// Whether the first of arguments (the command line after the program's name) is the switch, in
// any letter case. Any other first argument keeps its meaning: a file to mount or a script to run.
bool IsUnregisterSwitch(const std::vector<std::string>& arguments);

// Gives back the extra extensions as deleting them does and empties their list, then the fixed
// ones as unticking does; an extension that still points at the program's class after that has
// no saved class and loses its class altogether. Every extension leaves "Open with"; keys left
// empty go. Then the file class, the capabilities and their registration are removed and the
// shell is told. Nothing is made that was not there.
//
// A refused change does not stop the others, but keeps the class, so that no extension is left
// pointing at a class that no longer exists; the answer is then false. The settings key with the
// host application and the option stays: it is the user's, and an uninstall removes it.
bool Unregister(Registry& registry, Shell& shell);

}  // namespace dravik::core
