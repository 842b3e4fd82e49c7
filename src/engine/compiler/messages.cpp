#include "engine/compiler/messages.h"

#include <array>

namespace dravik::engine::compiler {

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

template <std::size_t N>
constexpr bool CountFromZero(const std::array<int, N>& codes) {
  for (std::size_t i = 0; i < N; ++i)
    if (codes[i] != static_cast<int>(i)) return false;
  return true;
}

// Each family's texts by code; the codes must count from 0 in the order of the rows.
#define DRAVIK_MESSAGE_TEXT(name, code, text) text,
#define DRAVIK_MESSAGE_CODE(name, code, text) code,
constexpr std::array kErrorTexts = {DRAVIK_COMPILER_ERRORS(DRAVIK_MESSAGE_TEXT)};
static_assert(CountFromZero(std::array{DRAVIK_COMPILER_ERRORS(DRAVIK_MESSAGE_CODE)}));
constexpr std::array kHintTexts = {DRAVIK_COMPILER_HINTS(DRAVIK_MESSAGE_TEXT)};
static_assert(CountFromZero(std::array{DRAVIK_COMPILER_HINTS(DRAVIK_MESSAGE_CODE)}));
constexpr std::array kWarningTexts = {DRAVIK_COMPILER_WARNINGS(DRAVIK_MESSAGE_TEXT)};
static_assert(CountFromZero(std::array{DRAVIK_COMPILER_WARNINGS(DRAVIK_MESSAGE_CODE)}));
#undef DRAVIK_MESSAGE_CODE
#undef DRAVIK_MESSAGE_TEXT

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

TPSCompilerErrorCode ParserErrorCode(tokenizer::TPSParserErrorKind kind) {
  switch (kind) {
    case tokenizer::peCommentError: return ecCommentError;
    case tokenizer::peStringError: return ecStringError;
    case tokenizer::peCharError: return ecCharError;
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

}  // namespace dravik::engine::compiler
