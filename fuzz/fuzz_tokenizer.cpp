// Arbitrary bytes as script text through the tokenizer, once as the compiler reads it and once
// with comments and whitespace delivered as tokens.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/tokenizer/tokenizer.h"

namespace {

using dravik::engine::tokenizer::TPSPascalParser;

void Tokenize(std::string_view text, bool withTrivia) {
  TPSPascalParser parser;
  parser.EnableComments = withTrivia;
  parser.EnableWhitespaces = withTrivia;
  int errors = 0;
  parser.OnParserError = [&](TPSPascalParser&, dravik::engine::tokenizer::TPSParserErrorKind) { ++errors; };
  parser.SetText(text);
  // Every token but the last consumes at least one byte, so the stream must end in time.
  std::size_t tokens = 0;
  while (parser.TokenKind() != dravik::engine::tokenizer::tokEOF) {
    if (++tokens > text.size() + 1) std::abort();
    if (parser.Position() < 0 || static_cast<std::size_t>(parser.Position()) > text.size() ||
        parser.Row() < 1 || parser.Column() < 1)
      std::abort();
    parser.Next();
  }
  parser.Next();  // past the end the token stays tokEOF
  if (parser.TokenKind() != dravik::engine::tokenizer::tokEOF || errors > 1) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Tokenize(text, false);
  Tokenize(text, true);
  return 0;
}
