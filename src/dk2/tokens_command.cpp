#include <ostream>

#include "dk2/dk2.h"
#include "dk2/source_file.h"
#include "engine/compiler/messages.h"
#include "engine/tokenizer/parser.h"

namespace dravik::dk2 {

using engine::TPSParserErrorKind;
using engine::TPSPascalParser;

int TokensCommand(const std::string& path, std::ostream& out, std::ostream& err) {
  std::optional<std::string> text = ReadSourceFile(path, err);
  if (!text) return kExitUsage;

  bool failed = false;
  TPSPascalParser parser;
  parser.OnParserError = [&](TPSPascalParser& p, TPSParserErrorKind kind) {
    failed = true;
    engine::TPSPascalCompilerError error(engine::ParserErrorCode(kind), {});
    error.SetPosition(p.Row(), p.Column(), p.Position());
    out << error.FullText() << "\n";
  };
  parser.SetText(*text);
  while (!failed) {
    out << parser.Row() << ":" << parser.Column() << " " << engine::TokenKindName(parser.TokenKind());
    if (!parser.Token().empty()) out << " " << parser.Token();
    out << "\n";
    if (parser.TokenKind() == engine::tokEOF) break;
    parser.Next();
  }
  return failed ? kExitScriptFailed : kExitOk;
}

}  // namespace dravik::dk2
