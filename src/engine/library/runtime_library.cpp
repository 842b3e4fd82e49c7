#include "engine/library/runtime_library.h"

#include "engine/exec/exec.h"
#include "engine/library/array_length.h"
#include "engine/library/builtin_routines.h"
#include "engine/library/dispatcher.h"
#include "engine/library/interface_importer.h"
#include "engine/library/notification_variant.h"
#include "engine/library/variant_routines.h"

namespace dravik::engine::library {

namespace {

// The routines whose few lines the register form repeats in place of a call.
exec::InlineRoutine InlineFor(std::string_view name) {
  if (name == "LENGTH") return exec::InlineRoutine::kLength;
  if (name == "STRGET") return exec::InlineRoutine::kStrGet;
  return exec::InlineRoutine::kNone;
}

void RegisterBuiltin(exec::TPSExec& exec, const BuiltinRoutine& routine) {
  switch (routine.handler) {
    case Handler::kDispatcher:
      exec.RegisterRoutine(routine.name, DispatchLibraryRoutine, 0, static_cast<std::uintptr_t>(routine.number))
          .inlineAs = InlineFor(routine.name);
      return;
    case Handler::kGetArrayLength: exec.RegisterRoutine(routine.name, GetArrayLengthRoutine, 0, 0); return;
    case Handler::kSetArrayLength: exec.RegisterRoutine(routine.name, SetArrayLengthRoutine, 0, 0); return;
    default:
      exec.RegisterHostFunction(VariantRoutine(routine.handler), routine.name, exec::kRegisterConvention);
      return;
  }
}

}  // namespace

void RegisterRuntimeLibrary(exec::TPSExec& exec) {
  for (const BuiltinRoutine& routine : kBuiltinRoutines) RegisterBuiltin(exec, routine);
  exec.RegisterRoutine("!NOTIFICATIONVARIANTSET", NotificationVariantSetRoutine, 0, 0);
  exec.RegisterRoutine("!NOTIFICATIONVARIANTGET", NotificationVariantGetRoutine, 0, 0);
  exec.RegisterImporter(kInterfaceDeclarationPrefix, ImportInterfaceMethod, 0);
}

}  // namespace dravik::engine::library
