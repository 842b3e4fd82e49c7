// Arbitrary bytes as a script, compiled as `dk2 run` compiles it (the unit "SYSTEM" with the
// program's host routines, Writeln and Write). What compiles runs both ways, in the register form
// and from the bytes, with dk2's simulated host and the same budget of backward jumps, calls and
// try blocks entered, so that endless loops end; the two runs must agree in everything
// (both_ways.h). The compiler, the loader, the machine and the runtime library are fuzzed together
// on the code the compiler really writes. Whatever the text, this must end cleanly: every fault a
// compile message or a runtime error, no sanitizer report. An image the compiler wrote must load,
// unless it calls a built-in routine that has no runtime side.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "both_ways.h"
#include "dk2/script_compilation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const dravik::engine::CompileResult compilation =
      dravik::dk2::CompileScript(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!compilation.ok) return 0;
  const dravik::engine::image::TQXException loadError =
      dravik::fuzz::RunBothWays(compilation.image, dravik::fuzz::kTicks);
  if (loadError == dravik::engine::image::ErNoError)
    dravik::fuzz::RunBothWays(compilation.image, dravik::fuzz::SmallTicks({data, size}));
  else if (loadError != dravik::engine::image::erCannotImport)
    std::abort();
  return 0;
}
