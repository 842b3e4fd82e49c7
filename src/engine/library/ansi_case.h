#pragma once
// Case conversion of 8-bit text by the rules of the Windows-1252 code page, the engine's own
// answer to AnsiUppercase and AnsiLowercase: besides A to Z, the accented letters 0xC0 to 0xDE
// (not 0xD7, the multiplication sign) pair with 0xE0 to 0xFE (not 0xF7, the division sign), and
// 0x8A, 0x8C, 0x8E, 0x9F pair with 0x9A, 0x9C, 0x9E, 0xFF. 0xDF and 0xB5 have no single-byte
// upper case and stay as they are; every other byte is unchanged.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace dravik::engine::library {

using CaseTable = std::array<std::uint8_t, 256>;

namespace ansi_case_detail {

struct CasePair {
  std::uint8_t upper;
  std::uint8_t lower;
};

// The letters outside the two contiguous ranges.
inline constexpr std::array<CasePair, 4> kScatteredPairs = {
    CasePair{0x8A, 0x9A}, CasePair{0x8C, 0x9C}, CasePair{0x8E, 0x9E}, CasePair{0x9F, 0xFF}};

inline constexpr std::uint8_t kCaseDistance = 0x20;
inline constexpr std::uint8_t kMultiplicationSign = 0xD7;

constexpr bool IsRangeUpper(unsigned c) {
  return (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != kMultiplicationSign);
}

constexpr CaseTable MakeTable(bool toUpper) {
  CaseTable table{};
  for (unsigned c = 0; c < table.size(); ++c) table[c] = static_cast<std::uint8_t>(c);
  for (unsigned upper = 0; upper < table.size(); ++upper) {
    if (!IsRangeUpper(upper)) continue;
    const unsigned lower = upper + kCaseDistance;
    if (toUpper) table[lower] = static_cast<std::uint8_t>(upper);
    else table[upper] = static_cast<std::uint8_t>(lower);
  }
  for (const CasePair& pair : kScatteredPairs) {
    if (toUpper) table[pair.lower] = pair.upper;
    else table[pair.upper] = pair.lower;
  }
  return table;
}

}  // namespace ansi_case_detail

inline constexpr CaseTable kAnsiUpperTable = ansi_case_detail::MakeTable(true);
inline constexpr CaseTable kAnsiLowerTable = ansi_case_detail::MakeTable(false);

static_assert(kAnsiUpperTable['a'] == 'A' && kAnsiUpperTable[0xE9] == 0xC9 && kAnsiUpperTable[0xFF] == 0x9F);
static_assert(kAnsiUpperTable[0xF7] == 0xF7 && kAnsiUpperTable[0xDF] == 0xDF && kAnsiUpperTable[0xB5] == 0xB5);
static_assert(kAnsiLowerTable[0xD7] == 0xD7 && kAnsiLowerTable[0x9F] == 0xFF && kAnsiLowerTable[0xC0] == 0xE0);

// text with every byte mapped through the table.
std::string MapCase(std::string_view text, const CaseTable& table);

}  // namespace dravik::engine::library
