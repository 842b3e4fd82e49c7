#pragma once
// Compiler messages: errors, hints and warnings, each a code plus a detail text and a position.
// The texts live once, in the tables of messages.cpp; a message renders its own line.

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/tokenizer/parser.h"

namespace dravik::engine {

// Error codes; their texts are the table in messages.cpp.
enum TPSCompilerErrorCode : std::uint8_t {
  ecUnknownIdentifier = 0,
  ecIdentifierExpected = 1,
  ecCommentError = 2,
  ecStringError = 3,
  ecCharError = 4,
  ecSyntaxError = 5,
  ecUnexpectedEndOfFile = 6,
  ecSemicolonExpected = 7,
  ecBeginExpected = 8,
  ecPeriodExpected = 9,
  ecDuplicateIdentifier = 10,
  ecColonExpected = 11,
  ecUnknownType = 12,
  ecCloseRoundExpected = 13,
  ecTypeMismatch = 14,
  ecInternalError = 15,
  ecAssignmentExpected = 16,
  ecThenExpected = 17,
  ecDoExpected = 18,
  ecNoResult = 19,
  ecOpenRoundExpected = 20,
  ecCommaExpected = 21,
  ecToExpected = 22,
  ecIsExpected = 23,
  ecOfExpected = 24,
  ecCloseBlockExpected = 25,
  ecVariableExpected = 26,
  ecStringExpected = 27,
  ecEndExpected = 28,
  ecLabelNotDefined = 29,
  ecNotInLoop = 30,
  ecInvalidJump = 31,
  ecOpenBlockExpected = 32,
  ecWriteOnlyProperty = 33,
  ecReadOnlyProperty = 34,
  ecClassTypeExpected = 35,
  ecCustomError = 36,
  ecDivideByZero = 37,
  ecMathError = 38,
  ecUnsatisfiedForward = 39,
  ecForwardParameterMismatch = 40,
  ecInvalidNumberOfParameters = 41,
  // Our own additions: a script nested beyond the compiler's recursion limits; an integer
  // literal beyond the 64-bit range, which would otherwise silently be 0.
  ecNestingTooDeep = 42,
  ecIntegerOutOfRange = 43,
};
inline constexpr int kCompilerErrorCodeCount = 44;

enum TPSCompilerHintCode : std::uint8_t {
  ehVariableNotUsed = 0,
  ehFunctionNotUsed = 1,
  ehCustomHint = 2,
};
inline constexpr int kCompilerHintCodeCount = 3;

enum TPSCompilerWarningCode : std::uint8_t {
  ewCalculationAlwaysEvaluatesTo = 0,
  ewIsNotNeeded = 1,
  ewAbstractClass = 2,
  ewCustomWarning = 3,
};
inline constexpr int kCompilerWarningCodeCount = 4;

// The body text of each family, from its code and detail ("Unknown error" etc. beyond a table).
std::string CompilerErrorText(std::uint8_t code, std::string_view detail);
std::string CompilerHintText(std::uint8_t code, std::string_view detail);
std::string CompilerWarningText(std::uint8_t code, std::string_view detail);

// The error a lexical failure of the script tokenizer is reported as.
TPSCompilerErrorCode ParserErrorCode(TPSParserErrorKind kind);

class TPSPascalCompilerMessage {
 public:
  TPSPascalCompilerMessage(std::uint8_t code, std::string detail);
  virtual ~TPSPascalCompilerMessage() = default;

  virtual std::string_view KindText() const = 0;
  // "[Kind] module(line:col): body"; the same for every kind of message.
  virtual std::string FullText() const;
  virtual std::string BodyText() const = 0;

  std::uint8_t Code() const { return code_; }
  const std::string& Detail() const { return detail_; }
  std::int32_t Row() const { return row_; }
  std::int32_t Col() const { return col_; }
  std::int32_t Pos() const { return pos_; }
  const std::string& ModuleName() const { return moduleName_; }
  void SetPosition(std::int32_t row, std::int32_t col, std::int32_t pos);

 private:
  std::int32_t row_ = 0;
  std::int32_t col_ = 0;
  std::string moduleName_;
  std::string detail_;
  std::int32_t pos_ = 0;
  std::uint8_t code_;
};

class TPSPascalCompilerError final : public TPSPascalCompilerMessage {
 public:
  using TPSPascalCompilerMessage::TPSPascalCompilerMessage;
  std::string_view KindText() const override { return "Error"; }
  std::string BodyText() const override { return CompilerErrorText(Code(), Detail()); }
};

class TPSPascalCompilerHint final : public TPSPascalCompilerMessage {
 public:
  using TPSPascalCompilerMessage::TPSPascalCompilerMessage;
  std::string_view KindText() const override { return "Hint"; }
  std::string BodyText() const override { return CompilerHintText(Code(), Detail()); }
};

class TPSPascalCompilerWarning final : public TPSPascalCompilerMessage {
 public:
  using TPSPascalCompilerMessage::TPSPascalCompilerMessage;
  std::string_view KindText() const override { return "Warning"; }
  std::string BodyText() const override { return CompilerWarningText(Code(), Detail()); }
};

}  // namespace dravik::engine
