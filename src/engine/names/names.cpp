#include "engine/names/names.h"

namespace dravik::engine::names {

namespace {
std::string MapBytes(std::string_view text, char from, char to) {
  std::string out(text);
  for (char& c : out)
    if (c >= from && c <= static_cast<char>(from + 25)) c = static_cast<char>(c - from + to);
  return out;
}
}  // namespace

std::string FastUpperCase(std::string_view text) { return MapBytes(text, 'a', 'A'); }
std::string FastLowerCase(std::string_view text) { return MapBytes(text, 'A', 'a'); }

}  // namespace dravik::engine::names
