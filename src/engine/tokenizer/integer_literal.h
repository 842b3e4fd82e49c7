#pragma once
// Integer literal tokens (tokInteger, tokHexInteger) as typed values.

#include <cstdint>
#include <optional>
#include <string_view>

namespace dravik::engine::tokenizer {

// The standard type a literal takes from its value.
enum class IntegerLiteralType : std::uint8_t { LongInt, LongWord, Int64 };

struct IntegerLiteral {
  std::int64_t value = 0;
  IntegerLiteralType type = IntegerLiteralType::LongInt;

  friend bool operator==(const IntegerLiteral&, const IntegerLiteral&) = default;
};

// Reads "123" or "$7F" as a signed 64-bit number typed by range: LongInt up to 2^31-1, LongWord
// up to 2^32-1, Int64 beyond. Nothing for a value beyond the 64-bit range (a decimal value above
// 2^63-1, more than 64 bits of hex); a text without digits ("$" alone, or anything but digits)
// gives 0. Hex keeps its 64 bits as written, so "$FFFFFFFFFFFFFFFF" is -1.
std::optional<IntegerLiteral> ReadIntegerLiteral(std::string_view text);

}  // namespace dravik::engine::tokenizer
