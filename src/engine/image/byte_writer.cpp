#include "engine/image/byte_writer.h"

namespace dravik::engine::image {

bool PatchU32(std::string& out, std::size_t offset, std::uint32_t value) {
  if (offset > out.size() || out.size() - offset < 4) return false;
  for (std::size_t i = 0; i < 4; ++i) out[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return true;
}

}  // namespace dravik::engine::image
