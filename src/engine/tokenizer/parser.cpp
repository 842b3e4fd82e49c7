#include "engine/tokenizer/parser.h"

#include <limits>

#include "engine/names/names.h"

namespace dravik::engine {

namespace {

constexpr bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
constexpr bool IsHexDigit(unsigned char c) {
  return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}
constexpr bool IsLetter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
constexpr bool IsWordByte(unsigned char c) { return IsLetter(c) || IsDigit(c); }
constexpr bool IsLineEnd(unsigned char c) { return c == '\r' || c == '\n'; }
constexpr bool IsBlank(unsigned char c) { return c == ' ' || c == '\t' || IsLineEnd(c); }

// Offsets are 32-bit; a text is cut short well before they could overflow.
constexpr std::size_t kMaxTextLength = std::numeric_limits<std::int32_t>::max() - 16;

// Words longer than this cannot be reserved, so the lookup needs no heap copy.
constexpr std::size_t kLongestReservedWord = 15;

TPSTokenKind ClassifyWord(const char* word, std::size_t length) {
  if (length > kLongestReservedWord) return tokIdentifier;
  char upper[kLongestReservedWord];
  for (std::size_t i = 0; i < length; ++i) upper[i] = UpperAscii(word[i]);
  return FindReservedWord({upper, length}).value_or(tokIdentifier);
}

TPSTokenKind SingleCharKind(unsigned char c) {
  switch (c) {
    case '=': return tokEqual;
    case ';': return tokSemicolon;
    case ',': return tokComma;
    case ')': return tokCloseRound;
    case '[': return tokOpenBlock;
    case ']': return tokCloseBlock;
    case '+': return tokPlus;
    case '-': return tokMinus;
    case '*': return tokMultiply;
    case '@': return tokAddressOf;
    case '^': return tokCaret;
    default: return tokEOF;
  }
}

bool HasText(TPSTokenKind kind) {
  return kind == tokComment || kind == tokWhitespace ||
         (kind >= tokInteger && kind <= tokHexInteger);
}

}  // namespace

void TPSPascalParser::SetText(std::string_view text) {
  std::string_view kept = text.substr(0, text.find('\0'));
  source_.assign(kept.substr(0, kMaxTextLength));
  ended_ = false;
  pendingLines_ = {};
  position_ = 0;
  tokenLength_ = 0;
  kind_ = tokEOF;
  token_.clear();
  rawToken_.clear();
  row_ = 1;
  lineStart_ = 0;
  Next();
}

void TPSPascalParser::Next() {
  if (ended_) return;
  for (;;) {
    row_ += pendingLines_.lineEnds;
    if (pendingLines_.lineEnds > 0) lineStart_ = pendingLines_.nextLineStart;
    pendingLines_ = {};
    position_ += tokenLength_;
    tokenLength_ = 0;

    Scanned scan = ScanToken(position_);
    if (scan.error != peNone) return Fail(scan.error);
    tokenLength_ = scan.length;
    pendingLines_ = scan;
    if ((scan.kind == tokComment && !EnableComments) ||
        (scan.kind == tokWhitespace && !EnableWhitespaces))
      continue;
    return MakeCurrent(scan);
  }
}

void TPSPascalParser::MakeCurrent(const Scanned& scan) {
  kind_ = scan.kind;
  ended_ = scan.kind == tokEOF;
  if (kind_ == tokIdentifier) {
    rawToken_.assign(source_, position_, tokenLength_);
    token_ = FastUpperCase(rawToken_);
  } else if (HasText(kind_)) {
    rawToken_.assign(source_, position_, tokenLength_);
    token_ = rawToken_;
  } else {
    rawToken_.clear();
    token_.clear();
  }
}

// The offending token becomes an end of text where it starts; its line ends never count.
void TPSPascalParser::Fail(TPSParserErrorKind error) {
  ended_ = true;
  tokenLength_ = 0;
  pendingLines_ = {};
  kind_ = tokEOF;
  token_.clear();
  rawToken_.clear();
  if (OnParserError) OnParserError(*this, error);
}

// A CR LF pair is one line end, a lone CR or LF another. Returns the offset after it.
std::int32_t TPSPascalParser::SkipLineEnd(Scanned& scan, std::int32_t at) const {
  const char* s = source_.c_str();
  std::int32_t next = (s[at] == '\r' && s[at + 1] == '\n') ? at + 2 : at + 1;
  scan.lineEnds++;
  scan.nextLineStart = next;
  return next;
}

TPSPascalParser::Scanned TPSPascalParser::ScanToken(std::int32_t at) const {
  const char* s = source_.c_str();
  const auto c = static_cast<unsigned char>(s[at]);
  const auto c1 = c == 0 ? 0 : static_cast<unsigned char>(s[at + 1]);
  Scanned scan;
  auto take = [&](TPSTokenKind kind, std::int32_t length) {
    scan.kind = kind;
    scan.length = length;
    return scan;
  };

  if (c == 0) return take(tokEOF, 0);
  if (IsBlank(c)) {
    std::int32_t i = at;
    while (IsBlank(s[i])) i = IsLineEnd(s[i]) ? SkipLineEnd(scan, i) : i + 1;
    return take(tokWhitespace, i - at);
  }
  if (IsLetter(c)) {
    std::int32_t i = at + 1;
    while (IsWordByte(s[i])) ++i;
    return take(ClassifyWord(s + at, i - at), i - at);
  }
  if (IsDigit(c)) {
    ScanNumber(scan, at);
    return scan;
  }
  switch (c) {
    case '$': {
      std::int32_t i = at + 1;
      while (IsHexDigit(s[i])) ++i;
      return take(tokHexInteger, i - at);
    }
    case '#': ScanCharCode(scan, at); return scan;
    case '\'': ScanString(scan, at); return scan;
    case '{': ScanBlockComment(scan, at, at + 1, "}"); return scan;
    case '(':
      if (c1 == '*') {
        // The close is searched from the opening star, so "(*)" is a whole comment.
        ScanBlockComment(scan, at, at + 1, "*)");
        return scan;
      }
      return take(tokOpenRound, 1);
    case '/':
      if (c1 == '/') {
        std::int32_t i = at + 2;
        while (s[i] != 0 && !IsLineEnd(s[i])) ++i;
        return take(tokComment, i - at);
      }
      return take(tokDivide, 1);
    case '.': return c1 == '.' ? take(tokTwoDots, 2) : take(tokPeriod, 1);
    case ':': return c1 == '=' ? take(tokAssign, 2) : take(tokColon, 1);
    case '<':
      if (c1 == '=') return take(tokLessEqual, 2);
      if (c1 == '>') return take(tokNotEqual, 2);
      return take(tokLess, 1);
    case '>': return c1 == '=' ? take(tokGreaterEqual, 2) : take(tokGreater, 1);
    default: break;
  }
  if (TPSTokenKind single = SingleCharKind(c); single != tokEOF) return take(single, 1);
  scan.error = peSyntaxError;
  return scan;
}

// number: digits ['.' digits] [('E'|'e') ['+'|'-'] digits]; "1..5" leaves the dots alone.
void TPSPascalParser::ScanNumber(Scanned& scan, std::int32_t at) const {
  const char* s = source_.c_str();
  std::int32_t i = at;
  bool real = false;
  for (;;) {
    while (IsDigit(s[i])) ++i;
    if (s[i] != '.' || real || s[i + 1] == '.') break;
    real = true;
    ++i;
  }
  if (s[i] == 'E' || s[i] == 'e') {
    std::int32_t k = i + 1;
    if (s[k] == '+' || s[k] == '-') ++k;
    if (IsDigit(s[k])) {
      real = true;
      i = k;
      while (IsDigit(s[i])) ++i;
    }
  }
  scan.kind = real ? tokReal : tokInteger;
  scan.length = i - at;
}

// char-code: '#' digits | '#$' hexdigits; a letter right after the decimal form is an error.
void TPSPascalParser::ScanCharCode(Scanned& scan, std::int32_t at) const {
  const char* s = source_.c_str();
  std::int32_t i = at + 1;
  if (s[i] == '$') {
    ++i;
    while (IsHexDigit(s[i])) ++i;
  } else {
    while (IsDigit(s[i])) ++i;
    if (IsLetter(s[i])) {
      scan.error = peCharError;
      return;
    }
  }
  scan.kind = tokCharCode;
  scan.length = i - at;
}

// string: quote { byte | quote quote } quote, on one line.
void TPSPascalParser::ScanString(Scanned& scan, std::int32_t at) const {
  const char* s = source_.c_str();
  for (std::int32_t i = at + 1;; ++i) {
    const char c = s[i];
    if (c == 0 || IsLineEnd(c)) {
      scan.error = peStringError;
      return;
    }
    if (c != '\'') continue;
    if (s[i + 1] == '\'') {
      ++i;
      continue;
    }
    scan.kind = tokString;
    scan.length = i + 1 - at;
    return;
  }
}

void TPSPascalParser::ScanBlockComment(Scanned& scan, std::int32_t at, std::int32_t from,
                                       std::string_view close) const {
  const char* s = source_.c_str();
  std::int32_t i = from;
  while (s[i] != 0) {
    if (s[i] == close[0] && (close.size() == 1 || s[i + 1] == close[1])) {
      scan.kind = tokComment;
      scan.length = i + static_cast<std::int32_t>(close.size()) - at;
      return;
    }
    i = IsLineEnd(s[i]) ? SkipLineEnd(scan, i) : i + 1;
  }
  scan.error = peCommentError;
}

}  // namespace dravik::engine
