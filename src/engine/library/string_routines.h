#pragma once
// The text work of the built-in string routines, on plain 8-bit strings. Positions are 1-based;
// counts and positions are the script's 32-bit integers and may be anything, so each function
// says what it does with out-of-range ones. Results longer than kMaxStringLength throw
// ScriptFault(erOutOfMemory) before anything that size is made.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dravik::engine::library {

// Position of the first occurrence of part in text; 0 when absent or when part is empty.
std::int32_t Pos(std::string_view part, std::string_view text);

// Up to count bytes of text from position from; a position below 1 counts as 1, a count below
// 1 or a position past the end gives the empty string.
std::string Copy(std::string_view text, std::int32_t from, std::int32_t count);

// Removes up to count bytes from position from; nothing for a position outside the text or a
// count below 1.
void Delete(std::string& text, std::int32_t from, std::int32_t count);

// Inserts part before position at; a position below 1 inserts at the start, one past the end
// appends.
void Insert(std::string_view part, std::string& text, std::int32_t at);

// The byte at position at; nothing outside 1..size.
std::optional<char> CharAt(std::string_view text, std::int32_t at);

// text without its leading and trailing blanks (byte 32; tabs and line ends stay).
std::string_view TrimBlanks(std::string_view text);

// text preceded (PadLeft) or followed (PadRight) by fill up to width bytes; unchanged when it is
// already at least that long.
std::string PadLeft(std::string_view text, std::int32_t width, char fill);
std::string PadRight(std::string_view text, std::int32_t width, char fill);

// count copies of c; empty for a count below 1.
std::string Replicate(char c, std::int32_t count);

// text truncated, or extended with zero bytes, to length bytes; a length below 0 counts as 0.
void ResizeText(std::string& text, std::int32_t length);

}  // namespace dravik::engine::library
