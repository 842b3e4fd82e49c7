#include "engine/library/string_routines.h"

#include <algorithm>

#include "engine/values/script_fault.h"
#include "engine/values/value_memory.h"

namespace dravik::engine::library {

namespace {

constexpr char kBlank = ' ';

// The script's count as a size: below 0 is 0, above the string limit refused.
std::size_t CheckedLength(std::int64_t length) {
  if (length <= 0) return 0;
  if (static_cast<std::uint64_t>(length) > values::kMaxStringLength) values::FailWith(image::erOutOfMemory);
  return static_cast<std::size_t>(length);
}

// The 0-based index of a 1-based position inside text; nothing outside.
std::optional<std::size_t> IndexOf(std::string_view text, std::int32_t position) {
  if (position < 1 || static_cast<std::size_t>(position) > text.size()) return std::nullopt;
  return static_cast<std::size_t>(position) - 1;
}

}  // namespace

std::int32_t Pos(std::string_view part, std::string_view text) {
  if (part.empty()) return 0;
  const std::size_t found = text.find(part);
  return found == std::string_view::npos ? 0 : static_cast<std::int32_t>(found + 1);
}

std::string Copy(std::string_view text, std::int32_t from, std::int32_t count) {
  const std::optional<std::size_t> start = IndexOf(text, std::max(from, std::int32_t{1}));
  if (!start || count < 1) return {};
  return std::string(text.substr(*start, static_cast<std::size_t>(count)));
}

void Delete(std::string& text, std::int32_t from, std::int32_t count) {
  const std::optional<std::size_t> start = IndexOf(text, from);
  if (start && count > 0) text.erase(*start, static_cast<std::size_t>(count));
}

void Insert(std::string_view part, std::string& text, std::int32_t at) {
  CheckedLength(static_cast<std::int64_t>(text.size()) + static_cast<std::int64_t>(part.size()));
  const std::size_t index = at < 1 ? 0 : std::min(static_cast<std::size_t>(at) - 1, text.size());
  text.insert(index, part);
}

std::optional<char> CharAt(std::string_view text, std::int32_t at) {
  const std::optional<std::size_t> index = IndexOf(text, at);
  if (!index) return std::nullopt;
  return text[*index];
}

std::string_view TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

std::string PadLeft(std::string_view text, std::int32_t width, char fill) {
  const std::size_t length = CheckedLength(width);
  std::string padded(length > text.size() ? length - text.size() : 0, fill);
  return padded.append(text);
}

std::string PadRight(std::string_view text, std::int32_t width, char fill) {
  const std::size_t length = CheckedLength(width);
  std::string padded(text);
  if (length > padded.size()) padded.append(length - padded.size(), fill);
  return padded;
}

std::string Replicate(char c, std::int32_t count) { return std::string(CheckedLength(count), c); }

void ResizeText(std::string& text, std::int32_t length) { text.resize(CheckedLength(length), '\0'); }

}  // namespace dravik::engine::library
