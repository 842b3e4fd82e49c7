#pragma once
// The five routines Dravik offers to scripts: the declaration texts added to the compiler for
// the unit "SYSTEM", and the names the executor binds them under.

#include <array>
#include <string_view>

namespace dravik::engine {
class TPSPascalCompiler;
}

namespace dravik::core {

struct HostRoutineDeclaration {
  std::string_view declaration;  // as added to the compiler
  std::string_view boundName;    // upper case, as bound in the executor
};

// In the order they are declared and bound.
inline constexpr std::array<HostRoutineDeclaration, 5> kHostRoutineDeclarations = {{
    {"procedure ExecuteFile(FileName, Params, DefaultDir: string)", "EXECUTEFILE"},
    {"procedure MountFile(FileName: string; Drive: Integer)", "MOUNTFILE"},
    {"procedure Wait(ms: longint)", "WAIT"},
    {"function CutExt(filename: string): String", "CUTEXT"},
    {"function getMountedFile: String", "GETMOUNTEDFILE"},
}};

// The only unit a script may name; the compiler asks for it before reading any script.
inline constexpr std::string_view kSystemUnitName = "SYSTEM";

// Adds the five declarations, in order, to a compiler that is asking for the unit "SYSTEM"
// (registration works only from inside its OnUses callback).
void AddHostRoutineDeclarations(engine::TPSPascalCompiler& compiler);

}  // namespace dravik::core
