#pragma once
// Token kinds of the script language. The codes are fixed: the compiler compares against them.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/names/names.h"

namespace dravik::engine::tokenizer {

// X(name, code). Reserved words follow the punctuation; their word is the name without "tok",
// upper-cased (tokDownto is DOWNTO).
#define DRAVIK_TOKEN_KINDS(X)                                                                    \
  X(tokEOF, 0) X(tokComment, 1) X(tokWhitespace, 2) X(tokIdentifier, 3) X(tokSemicolon, 4)       \
  X(tokComma, 5) X(tokPeriod, 6) X(tokColon, 7) X(tokOpenRound, 8) X(tokCloseRound, 9)           \
  X(tokOpenBlock, 10) X(tokCloseBlock, 11) X(tokAssign, 12) X(tokEqual, 13) X(tokNotEqual, 14)   \
  X(tokGreater, 15) X(tokGreaterEqual, 16) X(tokLess, 17) X(tokLessEqual, 18) X(tokPlus, 19)     \
  X(tokMinus, 20) X(tokDivide, 21) X(tokMultiply, 22) X(tokInteger, 23) X(tokReal, 24)           \
  X(tokString, 25) X(tokCharCode, 26) X(tokHexInteger, 27) X(tokAddressOf, 28) X(tokCaret, 29)   \
  X(tokTwoDots, 30)                                                                              \
  X(tokAnd, 31) X(tokArray, 32) X(tokBegin, 33) X(tokCase, 34) X(tokConst, 35) X(tokDiv, 36)     \
  X(tokDo, 37) X(tokDownto, 38) X(tokElse, 39) X(tokEnd, 40) X(tokFor, 41) X(tokFunction, 42)    \
  X(tokIf, 43) X(tokIn, 44) X(tokMod, 45) X(tokNot, 46) X(tokOf, 47) X(tokOr, 48)                \
  X(tokProcedure, 49) X(tokProgram, 50) X(tokRepeat, 51) X(tokRecord, 52) X(tokSet, 53)          \
  X(tokShl, 54) X(tokShr, 55) X(tokThen, 56) X(tokTo, 57) X(tokType, 58) X(tokUntil, 59)         \
  X(tokUses, 60) X(tokVar, 61) X(tokWhile, 62) X(tokWith, 63) X(tokXor, 64) X(tokExit, 65)       \
  X(tokClass, 66) X(tokConstructor, 67) X(tokDestructor, 68) X(tokInherited, 69)                 \
  X(tokPrivate, 70) X(tokPublic, 71) X(tokPublished, 72) X(tokProtected, 73) X(tokProperty, 74)  \
  X(tokVirtual, 75) X(tokOverride, 76) X(tokAs, 77) X(tokIs, 78) X(tokUnit, 79) X(tokTry, 80)    \
  X(tokExcept, 81) X(tokFinally, 82) X(tokExternal, 83) X(tokForward, 84) X(tokExport, 85)       \
  X(tokLabel, 86) X(tokGoto, 87) X(tokChr, 88) X(tokOrd, 89) X(tokInterface, 90)                 \
  X(tokImplementation, 91) X(tokOut, 92) X(tokNil, 93)

enum TPSTokenKind : std::uint8_t {
#define DRAVIK_TOKEN_ENUM(name, code) name = code,
  DRAVIK_TOKEN_KINDS(DRAVIK_TOKEN_ENUM)
#undef DRAVIK_TOKEN_ENUM
};

inline constexpr int kTokenKindCount = 94;
inline constexpr TPSTokenKind kFirstReservedWord = tokAnd;
inline constexpr int kReservedWordCount = kTokenKindCount - kFirstReservedWord;

// The kind's name as written in code ("tokIdentifier", "tokBegin"); empty beyond the table.
std::string_view TokenKindName(TPSTokenKind kind);

// The longest reserved word is IMPLEMENTATION: a longer word is always an identifier.
inline constexpr std::size_t kLongestReservedWord = 14;

// The reserved word's kind for an upper-cased word with its NameHash, found in a hash table of
// the words; nothing for any other word.
std::optional<TPSTokenKind> FindReservedWord(std::string_view upperWord, std::uint32_t hash);
inline std::optional<TPSTokenKind> FindReservedWord(std::string_view upperWord) {
  return FindReservedWord(upperWord, names::NameHash(upperWord));
}

}  // namespace dravik::engine::tokenizer
