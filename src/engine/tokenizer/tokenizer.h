#pragma once
// TPSPascalParser: cuts script text into tokens for the compiler. It knows nothing of the grammar;
// it classifies bytes into token kinds, recognises reserved words, tracks the row and column of
// every token and reports lexical errors through OnParserError.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/tokenizer/token_kind.h"

namespace dravik::engine::tokenizer {

enum TPSParserErrorKind : std::uint8_t {
  peNone = 0,
  peCommentError = 1,
  peStringError = 2,
  peCharError = 3,
  peSyntaxError = 4,
};

class TPSPascalParser {
 public:
  using ErrorEvent = std::function<void(TPSPascalParser&, TPSParserErrorKind)>;

  // Makes the following significant token current. At the end of the text, and after a lexical
  // error (which is reported once), the token stays tokEOF.
  void Next();
  // Takes a private copy of the text (a zero byte inside ends it) and makes its first token
  // current.
  void SetText(std::string_view text);

  TPSTokenKind TokenKind() const { return kind_; }
  // Upper-cased for identifiers; raw for literals, comments and whitespace; empty otherwise.
  // An identifier's Token stays valid until the next Next or SetText; any other view into the
  // tokenizer's copy of the text until the next SetText.
  std::string_view Token() const { return token_; }
  // The token's bytes as written, a view into the copy of the text; empty where Token is empty.
  std::string_view RawToken() const { return rawToken_; }
  // NameHash of Token() for an identifier; 0 for any other token.
  std::uint32_t TokenHash() const { return tokenHash_; }
  // An identifier as name tables are searched (only an identifier carries its hash).
  names::NameKey TokenKey() const { return {token_, tokenHash_}; }
  // 0-based byte offset of the current token.
  std::int32_t Position() const { return position_; }
  // 1-based line of the current token.
  std::int32_t Row() const { return row_; }
  // 1-based column of the current token.
  std::int32_t Column() const { return position_ - lineStart_ + 1; }

  // Called as (this tokenizer, error kind) when a lexical error ends the token stream.
  ErrorEvent OnParserError;
  // Deliver comment / whitespace tokens instead of skipping them; the compiler leaves both off.
  bool EnableComments = false;
  bool EnableWhitespaces = false;

 private:
  // One scanned token, before it becomes current. Line ends inside it are kept apart so that a
  // token always reports the row it starts on; they take effect when the scanner moves past it.
  struct Scanned {
    TPSTokenKind kind = tokEOF;
    std::int32_t length = 0;
    TPSParserErrorKind error = peNone;
    std::int32_t lineEnds = 0;
    std::int32_t nextLineStart = 0;
    std::uint32_t hash = 0;  // an identifier's NameHash
  };

  void MovePastToken();
  void SkipBlanks();
  Scanned ScanToken(std::int32_t at);
  void ScanWord(Scanned& scan, std::int32_t at);
  void ScanNumber(Scanned& scan, std::int32_t at) const;
  void ScanCharCode(Scanned& scan, std::int32_t at) const;
  void ScanString(Scanned& scan, std::int32_t at) const;
  void ScanBlockComment(Scanned& scan, std::int32_t at, std::int32_t from,
                        std::string_view close) const;
  std::int32_t SkipLineEnd(Scanned& scan, std::int32_t at) const;
  void MakeCurrent(const Scanned& scan);
  void Fail(TPSParserErrorKind error);

  std::string source_;
  bool ended_ = false;
  Scanned pendingLines_;
  std::int32_t position_ = 0;
  std::int32_t tokenLength_ = 0;
  TPSTokenKind kind_ = tokEOF;
  std::string_view token_;
  std::string_view rawToken_;
  // The last word scanned, upper-cased: an identifier's Token views it. It only grows, so that
  // scanning a word needs no allocation.
  std::vector<char> upperToken_;
  std::uint32_t tokenHash_ = 0;
  std::int32_t row_ = 1;
  std::int32_t lineStart_ = 0;
};

}  // namespace dravik::engine::tokenizer
