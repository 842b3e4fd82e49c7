// Arbitrary bytes as a compiled image through the disassembler: once alone, and once split in
// two at a point the first byte chooses, the second part taken as debug output.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/image/disassembler.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  dravik::engine::image::Disassemble(bytes);
  if (size > 1) {
    const std::size_t split = 1 + (data[0] * (size - 1)) / 256;
    dravik::engine::image::Disassemble(bytes.substr(1, split - 1), bytes.substr(split));
  }
  return 0;
}
