#include "engine/tokenizer/tokenizer.h"

#include <array>
#include <limits>

#include "engine/names/names.h"

namespace dravik::engine::tokenizer {

namespace {

// What the scanner asks of a byte, answered for all 256 values by one table.
enum ByteClass : std::uint8_t {
  kLetter = 1,  // A-Z, a-z and '_'
  kDigit = 2,
  kHexLetter = 4,  // A-F, a-f
  kSpace = 8,      // space, tab
  kLineEnd = 16,   // CR, LF
};

constexpr std::array<std::uint8_t, 256> MakeByteClasses() {
  std::array<std::uint8_t, 256> classes{};
  for (int c = 0; c < 256; ++c) {
    std::uint8_t bits = 0;
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_') bits |= kLetter;
    if (c >= '0' && c <= '9') bits |= kDigit;
    if ((c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')) bits |= kHexLetter;
    if (c == ' ' || c == '\t') bits |= kSpace;
    if (c == '\r' || c == '\n') bits |= kLineEnd;
    classes[static_cast<std::size_t>(c)] = bits;
  }
  return classes;
}

constexpr auto kByteClasses = MakeByteClasses();

constexpr bool HasClass(unsigned char c, std::uint8_t classes) { return (kByteClasses[c] & classes) != 0; }
constexpr bool IsDigit(unsigned char c) { return HasClass(c, kDigit); }
constexpr bool IsHexDigit(unsigned char c) { return HasClass(c, kDigit | kHexLetter); }
constexpr bool IsLetter(unsigned char c) { return HasClass(c, kLetter); }
constexpr bool IsWordByte(unsigned char c) { return HasClass(c, kLetter | kDigit); }
constexpr bool IsLineEnd(unsigned char c) { return HasClass(c, kLineEnd); }
constexpr bool IsBlank(unsigned char c) { return HasClass(c, kSpace | kLineEnd); }

// Offsets are 32-bit; a text is cut short well before they could overflow.
constexpr std::size_t kMaxTextLength = std::numeric_limits<std::int32_t>::max() - 16;

// A CR LF pair is one line end, a lone CR or LF another: the bytes of the one at s[at].
std::int32_t LineEndLength(const char* s, std::int32_t at) {
  return s[at] == '\r' && s[at + 1] == '\n' ? 2 : 1;
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
  token_ = {};
  rawToken_ = {};
  tokenHash_ = 0;
  row_ = 1;
  lineStart_ = 0;
  Next();
}

void TPSPascalParser::Next() {
  if (ended_) return;
  for (;;) {
    MovePastToken();
    if (!EnableWhitespaces) SkipBlanks();
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

// The current token's line ends take effect once the scanner is past it.
void TPSPascalParser::MovePastToken() {
  row_ += pendingLines_.lineEnds;
  if (pendingLines_.lineEnds > 0) lineStart_ = pendingLines_.nextLineStart;
  pendingLines_ = {};
  position_ += tokenLength_;
  tokenLength_ = 0;
}

// Blanks that no one reads are passed over in place rather than made into a token; their line
// ends count at once, as a skipped whitespace token's would.
void TPSPascalParser::SkipBlanks() {
  const char* s = source_.c_str();
  std::int32_t i = position_;
  while (IsBlank(s[i])) {
    if (!IsLineEnd(s[i])) {
      ++i;
      continue;
    }
    i += LineEndLength(s, i);
    ++row_;
    lineStart_ = i;
  }
  position_ = i;
}

void TPSPascalParser::MakeCurrent(const Scanned& scan) {
  kind_ = scan.kind;
  ended_ = scan.kind == tokEOF;
  tokenHash_ = 0;
  const auto at = static_cast<std::size_t>(position_);
  const auto length = static_cast<std::size_t>(tokenLength_);
  if (kind_ == tokIdentifier) {
    rawToken_ = std::string_view(source_).substr(at, length);
    token_ = std::string_view(upperToken_.data(), length);
    tokenHash_ = scan.hash;
  } else if (HasText(kind_)) {
    rawToken_ = std::string_view(source_).substr(at, length);
    token_ = rawToken_;
  } else {
    rawToken_ = {};
    token_ = {};
  }
}

// The offending token becomes an end of text where it starts; its line ends never count.
void TPSPascalParser::Fail(TPSParserErrorKind error) {
  ended_ = true;
  tokenLength_ = 0;
  pendingLines_ = {};
  kind_ = tokEOF;
  token_ = {};
  rawToken_ = {};
  tokenHash_ = 0;
  if (OnParserError) OnParserError(*this, error);
}

// Counts the line end at `at` into scan. Returns the offset after it.
std::int32_t TPSPascalParser::SkipLineEnd(Scanned& scan, std::int32_t at) const {
  const std::int32_t next = at + LineEndLength(source_.c_str(), at);
  scan.lineEnds++;
  scan.nextLineStart = next;
  return next;
}

TPSPascalParser::Scanned TPSPascalParser::ScanToken(std::int32_t at) {
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
    ScanWord(scan, at);
    return scan;
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

// word: letter {letter | digit}; a reserved word, or an identifier with the NameHash of its
// upper-cased text. The upper-cased text goes to upperToken_, worked out with the hash.
void TPSPascalParser::ScanWord(Scanned& scan, std::int32_t at) {
  const char* s = source_.c_str();
  std::int32_t end = at + 1;
  while (IsWordByte(s[end])) ++end;
  const auto length = static_cast<std::size_t>(end - at);
  if (upperToken_.size() < length) upperToken_.resize(length);
  char* const upper = upperToken_.data();
  const char* const word = s + at;
  std::uint32_t hash = 0;
  for (std::size_t i = 0; i < length; ++i) {
    upper[i] = names::UpperAscii(word[i]);
    hash = names::NameHashStep(hash, static_cast<unsigned char>(upper[i]));
  }
  scan.length = end - at;
  scan.hash = hash;
  scan.kind = length <= kLongestReservedWord
                  ? FindReservedWord({upper, length}, hash).value_or(tokIdentifier)
                  : tokIdentifier;
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

}  // namespace dravik::engine::tokenizer
