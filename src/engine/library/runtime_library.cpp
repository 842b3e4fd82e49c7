#include "engine/library/runtime_library.h"

#include "engine/exec/exec.h"
#include "engine/library/array_length.h"
#include "engine/library/dispatcher.h"
#include "engine/library/interface_importer.h"
#include "engine/library/notification_variant.h"
#include "engine/library/routine_table.h"
#include "engine/library/variant_routines.h"

namespace dravik::engine {

void RegisterRuntimeLibrary(TPSExec& exec) {
  for (const LibraryRoutine& routine : kLibraryRoutines)
    exec.RegisterRoutine(routine.name, DispatchLibraryRoutine, 0, static_cast<std::uintptr_t>(routine.number)).inlineAs =
        routine.inlineAs;
  exec.RegisterRoutine("GETARRAYLENGTH", GetArrayLengthRoutine, 0, 0);
  exec.RegisterRoutine("SETARRAYLENGTH", SetArrayLengthRoutine, 0, 0);
  exec.RegisterRoutine("!NOTIFICATIONVARIANTSET", NotificationVariantSetRoutine, 0, 0);
  exec.RegisterRoutine("!NOTIFICATIONVARIANTGET", NotificationVariantGetRoutine, 0, 0);
  RegisterVariantRoutines(exec);
  exec.RegisterImporter(kInterfaceDeclarationPrefix, ImportInterfaceMethod, 0);
}

}  // namespace dravik::engine
