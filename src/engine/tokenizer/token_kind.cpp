#include "engine/tokenizer/token_kind.h"

#include <algorithm>
#include <array>

#include "engine/names/names.h"

namespace dravik::engine {

namespace {

struct KindEntry {
  std::string_view name;
  TPSTokenKind kind;
};

constexpr std::array kKinds = {
#define DRAVIK_TOKEN_ENTRY(name, code) KindEntry{#name, name},
    DRAVIK_TOKEN_KINDS(DRAVIK_TOKEN_ENTRY)
#undef DRAVIK_TOKEN_ENTRY
};
static_assert(kKinds.size() == kTokenKindCount);

constexpr bool CodesMatchPositions() {
  for (std::size_t i = 0; i < kKinds.size(); ++i)
    if (kKinds[i].kind != i) return false;
  return true;
}
static_assert(CodesMatchPositions(), "token kinds must be listed in code order without gaps");

// A reserved word held upper-case; the longest is IMPLEMENTATION (14 bytes).
struct ReservedWord {
  std::array<char, 16> text{};
  std::size_t length = 0;
  TPSTokenKind kind = tokEOF;

  constexpr std::string_view view() const { return {text.data(), length}; }
};

constexpr std::array<ReservedWord, kReservedWordCount> MakeReservedWords() {
  std::array<ReservedWord, kReservedWordCount> words{};
  for (int i = 0; i < kReservedWordCount; ++i) {
    const KindEntry& entry = kKinds[kFirstReservedWord + i];
    std::string_view spelled = entry.name.substr(3);  // drop "tok"
    ReservedWord& word = words[i];
    for (char c : spelled) word.text[word.length++] = UpperAscii(c);
    word.kind = entry.kind;
  }
  std::sort(words.begin(), words.end(),
            [](const ReservedWord& a, const ReservedWord& b) { return a.view() < b.view(); });
  return words;
}

constexpr auto kReservedWords = MakeReservedWords();
static_assert(kReservedWords.front().view() == "AND" && kReservedWords.back().view() == "XOR");

}  // namespace

std::string_view TokenKindName(TPSTokenKind kind) {
  return kind < kKinds.size() ? kKinds[kind].name : std::string_view{};
}

std::optional<TPSTokenKind> FindReservedWord(std::string_view upperWord) {
  auto it = std::lower_bound(
      kReservedWords.begin(), kReservedWords.end(), upperWord,
      [](const ReservedWord& word, std::string_view key) { return word.view() < key; });
  if (it == kReservedWords.end() || it->view() != upperWord) return std::nullopt;
  return it->kind;
}

}  // namespace dravik::engine
