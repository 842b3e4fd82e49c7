#include "engine/compiler/messages.h"

#include <array>

namespace dravik::engine {

namespace {

// A message body: the text before the detail, whether the detail is shown, the text after it.
struct MessageText {
  std::string_view before;
  bool showsDetail = false;
  std::string_view after;
};

constexpr MessageText Plain(std::string_view text) { return {text, false, {}}; }
constexpr MessageText Around(std::string_view before, std::string_view after) {
  return {before, true, after};
}

constexpr std::array kErrorTexts = {
    Around("Unknown identifier '", "'"),
    Plain("Identifier expected"),
    Plain("Comment error"),
    Plain("String error"),
    Plain("Char error"),
    Plain("Syntax error"),
    Plain("Unexpected end of file"),
    Plain("Semicolon (';') expected"),
    Plain("'BEGIN' expected"),
    Plain("period ('.') expected"),
    Around("Duplicate identifier '", "'"),
    Plain("colon (':') expected"),
    Around("Unknown type '", "'"),
    Plain("Close round expected"),
    Plain("Type mismatch"),
    Around("Internal error (", ")"),
    Plain("Assignment expected"),
    Plain("'THEN' expected"),
    Plain("'DO' expected"),
    Plain("No result"),
    Plain("open round ('(')expected"),
    Plain("comma (',') expected"),
    Plain("'TO' expected"),
    Plain("is ('=') expected"),
    Plain("'OF' expected"),
    Plain("Close block(']') expected"),
    Plain("Variable Expected"),
    Plain("String Expected"),
    Plain("'END' expected"),
    Around("Label '", "' not set"),
    Plain("Not in a loop"),
    Plain("Invalid jump"),
    Plain("Open Block ('[') expected"),
    Plain("Write-only property"),
    Plain("Read-only property"),
    Plain("Class type expected"),
    Around("", ""),
    Plain("Divide by Zero"),
    Plain("Math Error"),
    Around("Unsatisfied Forward ", ""),
    Plain("Forward Parameter Mismatch"),
    Plain("Invalid number of parameters"),
    Plain("Nesting too deep"),
    Plain("Integer literal out of range"),
};
static_assert(kErrorTexts.size() == kCompilerErrorCodeCount);

constexpr std::array kHintTexts = {
    Around("Variable '", "' never used"),
    Around("Function '", "' never used"),
    Around("", ""),
};
static_assert(kHintTexts.size() == kCompilerHintCodeCount);

constexpr std::array kWarningTexts = {
    Around("Calculation always evaluates to ", ""),
    Around("", " is not needed"),
    Plain("Abstract Class Construction"),
    Around("", ""),
};
static_assert(kWarningTexts.size() == kCompilerWarningCodeCount);

template <std::size_t N>
std::string Render(const std::array<MessageText, N>& table, std::uint8_t code,
                   std::string_view detail, std::string_view unknown) {
  if (code >= table.size()) return std::string(unknown);
  const MessageText& text = table[code];
  std::string body(text.before);
  if (text.showsDetail) body += detail;
  body += text.after;
  return body;
}

}  // namespace

std::string CompilerErrorText(std::uint8_t code, std::string_view detail) {
  return Render(kErrorTexts, code, detail, "Unknown error");
}

std::string CompilerHintText(std::uint8_t code, std::string_view detail) {
  return Render(kHintTexts, code, detail, "Unknown hint");
}

std::string CompilerWarningText(std::uint8_t code, std::string_view detail) {
  return Render(kWarningTexts, code, detail, "Unknown warning");
}

TPSCompilerErrorCode ParserErrorCode(TPSParserErrorKind kind) {
  switch (kind) {
    case peCommentError: return ecCommentError;
    case peStringError: return ecStringError;
    case peCharError: return ecCharError;
    default: return ecSyntaxError;
  }
}

TPSPascalCompilerMessage::TPSPascalCompilerMessage(std::uint8_t code, std::string detail)
    : detail_(std::move(detail)), code_(code) {}

void TPSPascalCompilerMessage::SetPosition(std::int32_t row, std::int32_t col, std::int32_t pos) {
  row_ = row;
  col_ = col;
  pos_ = pos;
}

std::string TPSPascalCompilerMessage::FullText() const {
  std::string line = "[";
  line.append(KindText()).append("] ").append(moduleName_).append("(");
  line.append(std::to_string(row_)).append(":").append(std::to_string(col_)).append("): ");
  return line.append(BodyText());
}

}  // namespace dravik::engine
