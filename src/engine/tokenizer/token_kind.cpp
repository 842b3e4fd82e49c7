#include "engine/tokenizer/token_kind.h"

#include <array>

namespace dravik::engine::tokenizer {

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

// A reserved word held upper-case with its name hash; the longest is IMPLEMENTATION (14 bytes).
struct ReservedWord {
  std::array<char, kLongestReservedWord> text{};
  std::size_t length = 0;
  std::uint32_t hash = 0;
  TPSTokenKind kind = tokEOF;

  constexpr std::string_view view() const { return {text.data(), length}; }
};

constexpr std::array<ReservedWord, kReservedWordCount> MakeReservedWords() {
  std::array<ReservedWord, kReservedWordCount> words{};
  for (int i = 0; i < kReservedWordCount; ++i) {
    const KindEntry& entry = kKinds[kFirstReservedWord + i];
    std::string_view spelled = entry.name.substr(3);  // drop "tok"
    ReservedWord& word = words[i];
    for (char c : spelled) word.text[word.length++] = names::UpperAscii(c);
    word.hash = names::NameHash(word.view());
    word.kind = entry.kind;
  }
  return words;
}

constexpr auto kReservedWords = MakeReservedWords();

// The words by hash in an open-addressed table, a quarter full, so that most words that are not
// reserved stop at the first empty slot. Each slot holds a word's position in kReservedWords, or
// kNoWord.
constexpr unsigned kSlotBits = 8;
constexpr std::size_t kSlotCount = std::size_t{1} << kSlotBits;
constexpr std::uint8_t kNoWord = 0xFF;
static_assert(kReservedWordCount * 4 <= kSlotCount && kReservedWordCount < kNoWord);

constexpr std::size_t FirstSlot(std::uint32_t hash) { return names::NameSlot(hash, kSlotBits); }
constexpr std::size_t NextSlot(std::size_t slot) { return (slot + 1) & (kSlotCount - 1); }

constexpr std::array<std::uint8_t, kSlotCount> MakeReservedSlots() {
  std::array<std::uint8_t, kSlotCount> slots{};
  for (std::uint8_t& slot : slots) slot = kNoWord;
  for (std::size_t i = 0; i < kReservedWords.size(); ++i) {
    std::size_t slot = FirstSlot(kReservedWords[i].hash);
    while (slots[slot] != kNoWord) slot = NextSlot(slot);
    slots[slot] = static_cast<std::uint8_t>(i);
  }
  return slots;
}

constexpr auto kReservedSlots = MakeReservedSlots();

}  // namespace

std::string_view TokenKindName(TPSTokenKind kind) {
  return kind < kKinds.size() ? kKinds[kind].name : std::string_view{};
}

std::optional<TPSTokenKind> FindReservedWord(std::string_view upperWord, std::uint32_t hash) {
  for (std::size_t slot = FirstSlot(hash); kReservedSlots[slot] != kNoWord; slot = NextSlot(slot)) {
    const ReservedWord& word = kReservedWords[kReservedSlots[slot]];
    if (word.hash == hash && word.view() == upperWord) return word.kind;
  }
  return std::nullopt;
}

}  // namespace dravik::engine::tokenizer
