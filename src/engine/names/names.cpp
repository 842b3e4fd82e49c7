#include "engine/names/names.h"

namespace dravik::engine {

namespace {
// Written so that the compiler can map many bytes at once (no branch per byte, the bounds in
// locals that the char stores cannot change): the tokenizer folds whole script texts.
template <char From, char To>
std::string MapBytes(std::string_view text) {
  std::string out(text);
  char* const bytes = out.data();
  const std::size_t count = out.size();
  for (std::size_t i = 0; i < count; ++i) {
    const bool inRange = static_cast<unsigned char>(bytes[i] - From) < 26;
    bytes[i] = static_cast<char>(inRange ? bytes[i] - From + To : bytes[i]);
  }
  return out;
}
}  // namespace

std::string FastUpperCase(std::string_view text) { return MapBytes<'a', 'A'>(text); }
std::string FastLowerCase(std::string_view text) { return MapBytes<'A', 'a'>(text); }

}  // namespace dravik::engine
