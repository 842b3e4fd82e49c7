// Arbitrary bytes as a compiled image into an executor with dk2's simulated host routines (the
// program's five and the print routines). An image that loads runs both ways, in the register form
// and from the bytes, under the same budget of backward jumps, calls and try blocks entered, so
// that endless loops end; the two runs must agree in everything (both_ways.h). Whatever the bytes,
// loading and running must end cleanly: every fault a load or runtime error, no sanitizer report.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "both_ways.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view image(reinterpret_cast<const char*>(data), size);
  if (dravik::fuzz::RunBothWays(image, dravik::fuzz::kTicks) == dravik::engine::image::ErNoError)
    dravik::fuzz::RunBothWays(image, dravik::fuzz::SmallTicks({data, size}));
  return 0;
}
