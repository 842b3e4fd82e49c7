#pragma once
// Compiler messages: errors, hints and warnings, each a code plus a detail text and a position.
// The texts live once, in the tables of messages.cpp; a message renders its own line.

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/tokenizer/tokenizer.h"

namespace dravik::engine::compiler {

// The three families of messages, one row each: X(name, code, text). A text is Plain(words),
// or Around(before, after) with the message's detail between the two. Codes count from 0 in
// the order of the rows (checked where the texts are built, messages.cpp).
//
// Our own additions to the errors: ecNestingTooDeep, a script nested beyond the compiler's
// recursion limits; ecIntegerOutOfRange, an integer literal beyond the 64-bit range, which would
// otherwise silently be 0.
#define DRAVIK_COMPILER_ERRORS(X) \
  X(ecUnknownIdentifier, 0, Around("Unknown identifier '", "'")) \
  X(ecIdentifierExpected, 1, Plain("Identifier expected")) \
  X(ecCommentError, 2, Plain("Comment error")) \
  X(ecStringError, 3, Plain("String error")) \
  X(ecCharError, 4, Plain("Char error")) \
  X(ecSyntaxError, 5, Plain("Syntax error")) \
  X(ecUnexpectedEndOfFile, 6, Plain("Unexpected end of file")) \
  X(ecSemicolonExpected, 7, Plain("Semicolon (';') expected")) \
  X(ecBeginExpected, 8, Plain("'BEGIN' expected")) \
  X(ecPeriodExpected, 9, Plain("period ('.') expected")) \
  X(ecDuplicateIdentifier, 10, Around("Duplicate identifier '", "'")) \
  X(ecColonExpected, 11, Plain("colon (':') expected")) \
  X(ecUnknownType, 12, Around("Unknown type '", "'")) \
  X(ecCloseRoundExpected, 13, Plain("Close round expected")) \
  X(ecTypeMismatch, 14, Plain("Type mismatch")) \
  X(ecInternalError, 15, Around("Internal error (", ")")) \
  X(ecAssignmentExpected, 16, Plain("Assignment expected")) \
  X(ecThenExpected, 17, Plain("'THEN' expected")) \
  X(ecDoExpected, 18, Plain("'DO' expected")) \
  X(ecNoResult, 19, Plain("No result")) \
  X(ecOpenRoundExpected, 20, Plain("open round ('(')expected")) \
  X(ecCommaExpected, 21, Plain("comma (',') expected")) \
  X(ecToExpected, 22, Plain("'TO' expected")) \
  X(ecIsExpected, 23, Plain("is ('=') expected")) \
  X(ecOfExpected, 24, Plain("'OF' expected")) \
  X(ecCloseBlockExpected, 25, Plain("Close block(']') expected")) \
  X(ecVariableExpected, 26, Plain("Variable Expected")) \
  X(ecStringExpected, 27, Plain("String Expected")) \
  X(ecEndExpected, 28, Plain("'END' expected")) \
  X(ecLabelNotDefined, 29, Around("Label '", "' not set")) \
  X(ecNotInLoop, 30, Plain("Not in a loop")) \
  X(ecInvalidJump, 31, Plain("Invalid jump")) \
  X(ecOpenBlockExpected, 32, Plain("Open Block ('[') expected")) \
  X(ecWriteOnlyProperty, 33, Plain("Write-only property")) \
  X(ecReadOnlyProperty, 34, Plain("Read-only property")) \
  X(ecClassTypeExpected, 35, Plain("Class type expected")) \
  X(ecCustomError, 36, Around("", "")) \
  X(ecDivideByZero, 37, Plain("Divide by Zero")) \
  X(ecMathError, 38, Plain("Math Error")) \
  X(ecUnsatisfiedForward, 39, Around("Unsatisfied Forward ", "")) \
  X(ecForwardParameterMismatch, 40, Plain("Forward Parameter Mismatch")) \
  X(ecInvalidNumberOfParameters, 41, Plain("Invalid number of parameters")) \
  X(ecNestingTooDeep, 42, Plain("Nesting too deep")) \
  X(ecIntegerOutOfRange, 43, Plain("Integer literal out of range"))

#define DRAVIK_COMPILER_HINTS(X) \
  X(ehVariableNotUsed, 0, Around("Variable '", "' never used")) \
  X(ehFunctionNotUsed, 1, Around("Function '", "' never used")) \
  X(ehCustomHint, 2, Around("", ""))

#define DRAVIK_COMPILER_WARNINGS(X) \
  X(ewCalculationAlwaysEvaluatesTo, 0, Around("Calculation always evaluates to ", "")) \
  X(ewIsNotNeeded, 1, Around("", " is not needed")) \
  X(ewAbstractClass, 2, Plain("Abstract Class Construction")) \
  X(ewCustomWarning, 3, Around("", ""))

#define DRAVIK_MESSAGE_ENUM(name, code, text) name = code,
enum TPSCompilerErrorCode : std::uint8_t { DRAVIK_COMPILER_ERRORS(DRAVIK_MESSAGE_ENUM) };
enum TPSCompilerHintCode : std::uint8_t { DRAVIK_COMPILER_HINTS(DRAVIK_MESSAGE_ENUM) };
enum TPSCompilerWarningCode : std::uint8_t { DRAVIK_COMPILER_WARNINGS(DRAVIK_MESSAGE_ENUM) };
#undef DRAVIK_MESSAGE_ENUM

// The body text of each family, from its code and detail ("Unknown error" etc. beyond a table).
std::string CompilerErrorText(std::uint8_t code, std::string_view detail);
std::string CompilerHintText(std::uint8_t code, std::string_view detail);
std::string CompilerWarningText(std::uint8_t code, std::string_view detail);

// The error a lexical failure of the script tokenizer is reported as.
TPSCompilerErrorCode ParserErrorCode(tokenizer::TPSParserErrorKind kind);

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

}  // namespace dravik::engine::compiler
