// Arbitrary bytes as a script through the compiler, with the program's host routines declared
// for the unit "SYSTEM"; a compiled image goes on through the disassembler with its debug
// output, so code generation and the image reader are fuzzed together. What the compiler writes
// must list cleanly: no table or code problem, no jump that leaves the code or lands inside an
// instruction.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "core/script_host/host_routines.h"
#include "engine/engine.h"

namespace {

// The listing without its quoted texts (string constants, names), so that a script's own
// strings cannot look like a fault. Quotes inside quoted text are doubled, which toggles twice.
std::string WithoutQuotedText(std::string_view listing) {
  std::string rest;
  bool quoted = false;
  for (char c : listing) {
    if (c == '\'') quoted = !quoted;
    else if (!quoted) rest += c;
  }
  return rest;
}

bool ListsCleanly(std::string_view listing) {
  const std::string rest = WithoutQuotedText(listing);
  for (std::string_view fault : {"\n! ", "\n  ! ", "(outside)", "(mid-instruction)"})
    if (rest.find(fault) != std::string::npos) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const dravik::engine::HostUnit system{dravik::core::kSystemUnitName, dravik::core::HostRoutineDeclarations()};
  const dravik::engine::CompileResult compiled = dravik::engine::Compile(text, std::span(&system, 1));
  if (!compiled.ok) return 0;
  if (compiled.image.empty()) std::abort();
  if (!ListsCleanly(dravik::engine::ListImage(compiled.image, compiled.debugOutput))) std::abort();
  return 0;
}
