#pragma once
// Case-insensitive names of the script engine. The language folds ASCII letters only, so these
// helpers never consult a locale and give the same answer on every build.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dravik::engine::names {

// a-z become A-Z; every other byte is kept.
std::string FastUpperCase(std::string_view text);
// A-Z become a-z; every other byte is kept.
std::string FastLowerCase(std::string_view text);

constexpr char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// One step of NameHash: the hash so far with one more byte of the upper-cased name.
constexpr std::uint32_t NameHashStep(std::uint32_t h, unsigned char byte) {
  return ((h << 7) | (h >> 25)) + byte;
}

// Hash of an already upper-cased name: from 0, h := rotate-left(h, 7) + byte for each byte.
// Name tables compare this first and the upper-cased text second.
constexpr std::uint32_t NameHash(std::string_view upperName) {
  std::uint32_t h = 0;
  for (unsigned char byte : upperName) h = NameHashStep(h, byte);
  return h;
}

// An upper-cased name with its NameHash: what name tables are searched by, made without a copy
// of the text (a view into the tokenizer's text, or into a name kept elsewhere).
struct NameKey {
  std::string_view upper;
  std::uint32_t hash = 0;

  constexpr NameKey(std::string_view upperName, std::uint32_t nameHash) : upper(upperName), hash(nameHash) {}
  constexpr explicit NameKey(std::string_view upperName) : NameKey(upperName, NameHash(upperName)) {}
  friend constexpr bool operator==(NameKey a, NameKey b) { return a.hash == b.hash && a.upper == b.upper; }
};

// The first slot of a name hash in a hash table of 2^bits slots (bits from 1 to 32). The
// multiplication (Fibonacci hashing) spreads a name hash, whose low bits depend mostly on the
// last letters, over the top bits, which are taken.
constexpr std::size_t NameSlot(std::uint32_t hash, unsigned bits) {
  return static_cast<std::uint32_t>(hash * 0x9E3779B1u) >> (32 - bits);
}

}  // namespace dravik::engine::names
