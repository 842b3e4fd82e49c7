#pragma once
// The five routines Dravik offers to scripts, one row each: the declaration the compiler gets
// for the unit "SYSTEM", the name the image binds it under, its shape, and the call that carries
// it out on a HostRoutines. The program's mounter and dk2's simulated host both stand behind
// the same rows.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/engine.h"

namespace dravik::core {

// What the five host routines do; CutExt needs nothing of the program and is answered here.
class HostRoutines {
 public:
  virtual ~HostRoutines() = default;
  virtual void ExecuteFile(std::string fileName, std::string params, std::string defaultDir) = 0;
  virtual void MountFile(std::string fileName, std::int32_t drive) = 0;
  virtual void Wait(std::int32_t milliseconds) = 0;
  virtual std::string getMountedFile() = 0;
};

using HostParams = std::span<const engine::HostValue>;

struct HostRoutineRow {
  std::string_view declaration;  // as the compiler is given it
  std::string_view boundName;    // upper case, as the image names it
  std::size_t parameterCount;
  bool hasResult;
  void (*call)(HostRoutines& routines, HostParams params, const engine::HostValue* result);
};

// In the order they are declared and bound.
extern const std::array<HostRoutineRow, 5> kHostRoutines;

// The only unit a script may name; the compiler asks for it before reading any script.
inline constexpr std::string_view kSystemUnitName = "SYSTEM";

// The declarations of kHostRoutines, in order, for the unit "SYSTEM".
std::span<const std::string_view> HostRoutineDeclarations();

// Binds the five rows in script, each to routines. An image's declaration of a routine is
// checked against the row's shape before the call: a mismatch is the script's error ("Could not
// call proc"), not a crash. routines must outlive the script's runs.
void BindHostRoutines(engine::Script& script, HostRoutines& routines);

}  // namespace dravik::core
