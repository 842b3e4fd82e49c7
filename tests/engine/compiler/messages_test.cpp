#include "engine/compiler/messages.h"

#include <gtest/gtest.h>

namespace dravik::engine::compiler {
namespace {

TEST(CompilerMessages, FullTextNamesKindPositionAndBody) {
  TPSPascalCompilerError error(ecUnknownIdentifier, "foo");
  error.SetPosition(3, 7, 40);
  EXPECT_EQ(error.FullText(), "[Error] (3:7): Unknown identifier 'foo'");
  TPSPascalCompilerHint hint(ehVariableNotUsed, "I");
  hint.SetPosition(12, 5, 0);
  EXPECT_EQ(hint.FullText(), "[Hint] (12:5): Variable 'I' never used");
  TPSPascalCompilerWarning warning(ewIsNotNeeded, "\"True and\"");
  warning.SetPosition(1, 1, 0);
  EXPECT_EQ(warning.FullText(), "[Warning] (1:1): \"True and\" is not needed");
}

TEST(CompilerMessages, DetailsAreWrappedWhereTheTextSaysSo) {
  EXPECT_EQ(CompilerErrorText(ecInternalError, "00015"), "Internal error (00015)");
  EXPECT_EQ(CompilerErrorText(ecLabelNotDefined, "L"), "Label 'L' not set");
  EXPECT_EQ(CompilerErrorText(ecUnsatisfiedForward, "A"), "Unsatisfied Forward A");
  EXPECT_EQ(CompilerErrorText(ecCustomError, "host failed"), "host failed");
  EXPECT_EQ(CompilerErrorText(ecOpenRoundExpected, "ignored"), "open round ('(')expected");
  EXPECT_EQ(CompilerWarningText(ewCalculationAlwaysEvaluatesTo, "False"),
            "Calculation always evaluates to False");
}

TEST(CompilerMessages, CodesBeyondTheTablesHaveGenericTexts) {
  EXPECT_EQ(CompilerErrorText(200, "x"), "Unknown error");
  EXPECT_EQ(CompilerHintText(3, "x"), "Unknown hint");
  EXPECT_EQ(CompilerWarningText(4, "x"), "Unknown warning");
}

TEST(CompilerMessages, LexicalErrorsMapToTheirOwnCodes) {
  EXPECT_EQ(CompilerErrorText(ParserErrorCode(tokenizer::peCommentError), {}), "Comment error");
  EXPECT_EQ(CompilerErrorText(ParserErrorCode(tokenizer::peStringError), {}), "String error");
  EXPECT_EQ(CompilerErrorText(ParserErrorCode(tokenizer::peCharError), {}), "Char error");
  EXPECT_EQ(CompilerErrorText(ParserErrorCode(tokenizer::peSyntaxError), {}), "Syntax error");
  EXPECT_EQ(ParserErrorCode(static_cast<tokenizer::TPSParserErrorKind>(77)), ecSyntaxError);
}

}  // namespace
}  // namespace dravik::engine::compiler
