#include "core/script_host/host_routine_declarations.h"

#include "engine/compiler/compiler.h"

namespace dravik::core {

void AddHostRoutineDeclarations(engine::TPSPascalCompiler& compiler) {
  for (const HostRoutineDeclaration& routine : kHostRoutineDeclarations)
    compiler.AddHostRoutine(routine.declaration);
}

}  // namespace dravik::core
