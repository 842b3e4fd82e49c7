#include "engine/tokenizer/tokenizer.h"

#include "engine/names/names.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace dravik::engine::tokenizer {

void PrintTo(TPSTokenKind kind, std::ostream* os) { *os << TokenKindName(kind); }

namespace {

struct Tok {
  TPSTokenKind kind;
  std::string token;
  std::int32_t row;
  std::int32_t col;

  friend bool operator==(const Tok&, const Tok&) = default;
  friend std::ostream& operator<<(std::ostream& os, const Tok& t) {
    return os << t.row << ":" << t.col << " " << TokenKindName(t.kind) << " '" << t.token << "'";
  }
};

struct Lexed {
  std::vector<Tok> tokens;  // up to and including the final tokEOF
  std::optional<TPSParserErrorKind> error;
  int errorCalls = 0;
  std::int32_t errorRow = 0, errorCol = 0, errorPos = 0;
};

Lexed Lex(std::string_view text, bool comments = false, bool whitespace = false) {
  Lexed out;
  TPSPascalParser parser;
  parser.EnableComments = comments;
  parser.EnableWhitespaces = whitespace;
  parser.OnParserError = [&](TPSPascalParser& p, TPSParserErrorKind kind) {
    out.error = kind;
    out.errorCalls++;
    out.errorRow = p.Row();
    out.errorCol = p.Column();
    out.errorPos = p.Position();
  };
  parser.SetText(text);
  for (;;) {
    out.tokens.push_back({parser.TokenKind(), std::string(parser.Token()), parser.Row(), parser.Column()});
    if (parser.TokenKind() == tokEOF) break;
    parser.Next();
  }
  parser.Next();  // staying at the end must neither move nor report again
  EXPECT_EQ(parser.TokenKind(), tokEOF);
  return out;
}

std::vector<TPSTokenKind> Kinds(std::string_view text) {
  std::vector<TPSTokenKind> kinds;
  for (const Tok& t : Lex(text).tokens) kinds.push_back(t.kind);
  return kinds;
}

TEST(Tokenizer, EmptyTextIsAtTheEndAtOnce) {
  for (std::string_view text : {std::string_view(""), std::string_view("\0abc", 4)}) {
    Lexed lexed = Lex(text);
    ASSERT_EQ(lexed.tokens.size(), 1u);
    EXPECT_EQ(lexed.tokens[0], (Tok{tokEOF, "", 1, 1}));
    EXPECT_FALSE(lexed.error);
  }
  TPSPascalParser fresh;  // no text set
  fresh.Next();
  EXPECT_EQ(fresh.TokenKind(), tokEOF);
  EXPECT_EQ(fresh.Position(), 0);
}

TEST(Tokenizer, ReservedWordsInAnyLetterCase) {
  EXPECT_EQ(Kinds("Begin BEGIN begin bEgIn"),
            (std::vector<TPSTokenKind>{tokBegin, tokBegin, tokBegin, tokBegin, tokEOF}));
  const std::vector<std::pair<std::string_view, TPSTokenKind>> words = {
      {"and", tokAnd},         {"xor", tokXor},         {"chr", tokChr},
      {"ord", tokOrd},         {"exit", tokExit},       {"nil", tokNil},
      {"downto", tokDownto},   {"implementation", tokImplementation},
      {"out", tokOut},         {"Published", tokPublished}, {"finally", tokFinally}};
  for (auto [word, kind] : words) EXPECT_EQ(Kinds(word).front(), kind) << word;

  Lexed lexed = Lex("Begin_1 _x beginning");
  EXPECT_EQ(lexed.tokens[0], (Tok{tokIdentifier, "BEGIN_1", 1, 1}));
  EXPECT_EQ(lexed.tokens[1], (Tok{tokIdentifier, "_X", 1, 9}));
  EXPECT_EQ(lexed.tokens[2], (Tok{tokIdentifier, "BEGINNING", 1, 12}));

  TPSPascalParser parser;
  parser.SetText("Begin_1 begin");
  EXPECT_EQ(parser.RawToken(), "Begin_1");
  parser.Next();
  EXPECT_EQ(parser.Token(), "");  // reserved words carry no text
  EXPECT_EQ(parser.RawToken(), "");
}

TEST(Tokenizer, EveryReservedWordIsFound) {
  for (int code = kFirstReservedWord; code < kTokenKindCount; ++code) {
    const auto kind = static_cast<TPSTokenKind>(code);
    std::string word(TokenKindName(kind).substr(3));
    EXPECT_EQ(FindReservedWord(names::FastUpperCase(word)), kind) << word;
    EXPECT_EQ(Kinds(word).front(), kind) << word;
  }
  EXPECT_FALSE(FindReservedWord("Begin"));  // the lookup expects upper case
  EXPECT_FALSE(FindReservedWord("WRITELN"));
  EXPECT_FALSE(FindReservedWord(""));
}

TEST(Tokenizer, PunctuationAndOperators) {
  EXPECT_EQ(Kinds("; , . : ( ) [ ] := = <> > >= < <= + - / * @ ^ .."),
            (std::vector<TPSTokenKind>{tokSemicolon, tokComma, tokPeriod, tokColon, tokOpenRound,
                                       tokCloseRound, tokOpenBlock, tokCloseBlock, tokAssign,
                                       tokEqual, tokNotEqual, tokGreater, tokGreaterEqual,
                                       tokLess, tokLessEqual, tokPlus, tokMinus, tokDivide,
                                       tokMultiply, tokAddressOf, tokCaret, tokTwoDots, tokEOF}));
  EXPECT_EQ(Kinds("a:=b<>c<=d>=e"),
            (std::vector<TPSTokenKind>{tokIdentifier, tokAssign, tokIdentifier, tokNotEqual,
                                       tokIdentifier, tokLessEqual, tokIdentifier,
                                       tokGreaterEqual, tokIdentifier, tokEOF}));
}

TEST(Tokenizer, Numbers) {
  Lexed range = Lex("1..10");
  EXPECT_EQ(range.tokens[0], (Tok{tokInteger, "1", 1, 1}));
  EXPECT_EQ(range.tokens[1], (Tok{tokTwoDots, "", 1, 2}));
  EXPECT_EQ(range.tokens[2], (Tok{tokInteger, "10", 1, 4}));

  for (std::string_view real : {"1.5e-3", "2E5", "1.", "3.25", "7e+2", "1.e5", "0.5E10"}) {
    Lexed lexed = Lex(real);
    EXPECT_EQ(lexed.tokens[0], (Tok{tokReal, std::string(real), 1, 1})) << real;
    EXPECT_EQ(lexed.tokens[1].kind, tokEOF) << real;
  }

  Lexed dangling = Lex("2E");
  EXPECT_EQ(dangling.tokens[0], (Tok{tokInteger, "2", 1, 1}));
  EXPECT_EQ(dangling.tokens[1], (Tok{tokIdentifier, "E", 1, 2}));
  EXPECT_EQ(Kinds("2e+x"), (std::vector<TPSTokenKind>{tokInteger, tokIdentifier, tokPlus,
                                                      tokIdentifier, tokEOF}));

  Lexed twoDots = Lex("1.2.3");
  EXPECT_EQ(twoDots.tokens[0], (Tok{tokReal, "1.2", 1, 1}));
  EXPECT_EQ(twoDots.tokens[1], (Tok{tokPeriod, "", 1, 4}));
  EXPECT_EQ(twoDots.tokens[2], (Tok{tokInteger, "3", 1, 5}));

  Lexed hex = Lex("$FF $ $abcdefg");
  EXPECT_EQ(hex.tokens[0], (Tok{tokHexInteger, "$FF", 1, 1}));
  EXPECT_EQ(hex.tokens[1], (Tok{tokHexInteger, "$", 1, 5}));
  EXPECT_EQ(hex.tokens[2], (Tok{tokHexInteger, "$abcdef", 1, 7}));
  EXPECT_EQ(hex.tokens[3], (Tok{tokIdentifier, "G", 1, 14}));
}

TEST(Tokenizer, StringsAndCharCodes) {
  Lexed quoted = Lex("'it''s' '' ''''");
  EXPECT_EQ(quoted.tokens[0], (Tok{tokString, "'it''s'", 1, 1}));
  EXPECT_EQ(quoted.tokens[1], (Tok{tokString, "''", 1, 9}));
  EXPECT_EQ(quoted.tokens[2], (Tok{tokString, "''''", 1, 12}));

  Lexed run = Lex("'A'#13#10'B'");
  EXPECT_EQ(run.tokens[0], (Tok{tokString, "'A'", 1, 1}));
  EXPECT_EQ(run.tokens[1], (Tok{tokCharCode, "#13", 1, 4}));
  EXPECT_EQ(run.tokens[2], (Tok{tokCharCode, "#10", 1, 7}));
  EXPECT_EQ(run.tokens[3], (Tok{tokString, "'B'", 1, 10}));

  Lexed codes = Lex("#$263A #$41 # #$ #65;");
  EXPECT_EQ(codes.tokens[0].token, "#$263A");
  EXPECT_EQ(codes.tokens[1].token, "#$41");
  EXPECT_EQ(codes.tokens[2].token, "#");
  EXPECT_EQ(codes.tokens[3].token, "#$");
  EXPECT_EQ(codes.tokens[4], (Tok{tokCharCode, "#65", 1, 18}));
  EXPECT_EQ(codes.tokens[5].kind, tokSemicolon);

  Lexed high = Lex("'\xE4\xFF'");  // any byte may stand inside a string
  EXPECT_EQ(high.tokens[0].kind, tokString);
  EXPECT_FALSE(high.error);
}

TEST(Tokenizer, Comments) {
  EXPECT_EQ(Kinds("{ a } (* b *) (*) // c"), (std::vector<TPSTokenKind>{tokEOF}));
  EXPECT_EQ(Kinds("(*)*) x"),
            (std::vector<TPSTokenKind>{tokMultiply, tokCloseRound, tokIdentifier, tokEOF}));
  EXPECT_EQ(Kinds("{$I include} x"), (std::vector<TPSTokenKind>{tokIdentifier, tokEOF}));
  EXPECT_EQ(Kinds("a // note"), (std::vector<TPSTokenKind>{tokIdentifier, tokEOF}));
  EXPECT_EQ(Kinds("(a)"),
            (std::vector<TPSTokenKind>{tokOpenRound, tokIdentifier, tokCloseRound, tokEOF}));

  Lexed delivered = Lex("x{ a\n b }(*c*)//d\ny", /*comments=*/true);
  ASSERT_EQ(delivered.tokens.size(), 6u);
  EXPECT_EQ(delivered.tokens[1], (Tok{tokComment, "{ a\n b }", 1, 2}));
  EXPECT_EQ(delivered.tokens[2], (Tok{tokComment, "(*c*)", 2, 5}));
  EXPECT_EQ(delivered.tokens[3], (Tok{tokComment, "//d", 2, 10}));
  EXPECT_EQ(delivered.tokens[4], (Tok{tokIdentifier, "Y", 3, 1}));
}

TEST(Tokenizer, WhitespaceDeliveredOnRequest) {
  Lexed lexed = Lex("a \t\r\nb", false, /*whitespace=*/true);
  ASSERT_EQ(lexed.tokens.size(), 4u);
  EXPECT_EQ(lexed.tokens[1], (Tok{tokWhitespace, " \t\r\n", 1, 2}));
  EXPECT_EQ(lexed.tokens[2], (Tok{tokIdentifier, "B", 2, 1}));
}

TEST(Tokenizer, RowsAndColumnsOverEveryLineEnd) {
  Lexed assign = Lex("x :=\ny");
  EXPECT_EQ(assign.tokens[2], (Tok{tokIdentifier, "Y", 2, 1}));

  // CR LF counts once, LF CR twice, lone CR and lone LF once each.
  Lexed ends = Lex("a\r\nb\n\rc\rd\ne");
  EXPECT_EQ(ends.tokens[1], (Tok{tokIdentifier, "B", 2, 1}));
  EXPECT_EQ(ends.tokens[2], (Tok{tokIdentifier, "C", 4, 1}));
  EXPECT_EQ(ends.tokens[3], (Tok{tokIdentifier, "D", 5, 1}));
  EXPECT_EQ(ends.tokens[4], (Tok{tokIdentifier, "E", 6, 1}));

  // Line ends inside block comments count too.
  Lexed comments = Lex("{\r\n}  (*\n\n*) z\r\n  w");
  EXPECT_EQ(comments.tokens[0], (Tok{tokIdentifier, "Z", 4, 4}));
  EXPECT_EQ(comments.tokens[1], (Tok{tokIdentifier, "W", 5, 3}));
  EXPECT_EQ(comments.tokens[2], (Tok{tokEOF, "", 5, 4}));

  TPSPascalParser parser;
  parser.SetText("begin\n  foo;");
  parser.Next();
  EXPECT_EQ(parser.Position(), 8);
  EXPECT_EQ(parser.Row(), 2);
  EXPECT_EQ(parser.Column(), 3);
}

struct ErrorCase {
  std::string_view text;
  TPSParserErrorKind kind;
  std::int32_t row, col, pos;
  std::vector<TPSTokenKind> before;  // tokens made current before the error
};

TEST(Tokenizer, LexicalErrorsEndTheStreamAtTheOffendingToken) {
  const std::vector<ErrorCase> cases = {
      {"x := 'abc\n;", peStringError, 1, 6, 5, {tokIdentifier, tokAssign}},
      {"'abc", peStringError, 1, 1, 0, {}},
      {"a\n  { never closed\n\n", peCommentError, 2, 3, 4, {tokIdentifier}},
      {"(* open", peCommentError, 1, 1, 0, {}},
      {"x #12a", peCharError, 1, 3, 2, {tokIdentifier}},
      {"#1_", peCharError, 1, 1, 0, {}},
      {"a ! b", peSyntaxError, 1, 3, 2, {tokIdentifier}},
      {"}", peSyntaxError, 1, 1, 0, {}},
      {"\"x\"", peSyntaxError, 1, 1, 0, {}},
      {"x\r\n\xE4", peSyntaxError, 2, 1, 3, {tokIdentifier}},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.text);
    Lexed lexed = Lex(c.text);
    ASSERT_EQ(lexed.error, c.kind);
    EXPECT_EQ(lexed.errorCalls, 1);
    EXPECT_EQ(lexed.errorRow, c.row);
    EXPECT_EQ(lexed.errorCol, c.col);
    EXPECT_EQ(lexed.errorPos, c.pos);
    std::vector<TPSTokenKind> kinds;
    for (const Tok& t : lexed.tokens) kinds.push_back(t.kind);
    std::vector<TPSTokenKind> expected = c.before;
    expected.push_back(tokEOF);
    EXPECT_EQ(kinds, expected);
    EXPECT_EQ(lexed.tokens.back().token, "");
  }
  EXPECT_FALSE(Lex("#$12a").error);  // only the decimal form refuses a letter after it
}

TEST(Tokenizer, EveryByteOutsideTheGrammarIsASyntaxError) {
  for (int byte = 1; byte < 256; ++byte) {
    const bool allowed = (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') ||
                         (byte >= 'a' && byte <= 'z') ||
                         std::string_view(" \t\r\n_$#'{(/.:<>=;,)[]+-*@^").find(
                             static_cast<char>(byte)) != std::string_view::npos;
    const std::string text(1, static_cast<char>(byte));
    Lexed lexed = Lex(text);
    if (allowed) {
      EXPECT_NE(lexed.error, peSyntaxError) << byte;
    } else {
      EXPECT_EQ(lexed.error, peSyntaxError) << byte;
    }
  }
}

TEST(Tokenizer, SetTextStartsAfresh) {
  TPSPascalParser parser;
  int errors = 0;
  parser.OnParserError = [&](TPSPascalParser&, TPSParserErrorKind) { ++errors; };
  parser.SetText("a\n\n!");
  parser.Next();
  EXPECT_EQ(errors, 1);
  parser.SetText("b");
  EXPECT_EQ(parser.TokenKind(), tokIdentifier);
  EXPECT_EQ(parser.Row(), 1);
  EXPECT_EQ(parser.Column(), 1);
  EXPECT_EQ(parser.Token(), "B");
}

// Name tables are searched by the hash the tokenizer works out, so it must be the one of the
// upper-cased text, for every letter case and length; and the raw text a token gives must
// outlive the moves past it.
TEST(Tokenizer, IdentifiersCarryTheHashOfTheirUpperCasedText) {
  TPSPascalParser parser;
  parser.SetText("Step_12 := BEGINx + 'it''s' + aVeryLongIdentifierOfThirtyBytes_ + $1F; end");
  const std::string_view firstRaw = parser.RawToken();
  std::vector<std::string> identifiers;
  for (; parser.TokenKind() != tokEOF; parser.Next()) {
    if (parser.TokenKind() == tokIdentifier) {
      identifiers.emplace_back(parser.Token());
      EXPECT_EQ(parser.TokenHash(), names::NameHash(parser.Token())) << parser.Token();
      EXPECT_EQ(parser.TokenKey(), names::NameKey(parser.Token())) << parser.Token();
    } else {
      EXPECT_EQ(parser.TokenHash(), 0u) << parser.RawToken();
    }
  }
  EXPECT_EQ(identifiers, (std::vector<std::string>{"STEP_12", "BEGINX", "AVERYLONGIDENTIFIEROFTHIRTYBYTES_"}));
  EXPECT_EQ(firstRaw, "Step_12");
}

TEST(Tokenizer, TenMegabyteTextsTokenizeWhole) {
  std::string big;
  big.reserve(10'500'000);
  while (big.size() < 10'000'000) big += "x := x + 1; { comment }\r\n";
  TPSPascalParser parser;
  parser.SetText(big);
  std::size_t count = 0;
  while (parser.TokenKind() != tokEOF) {
    parser.Next();
    ++count;
  }
  EXPECT_EQ(count, big.size() / 25 * 6);
  EXPECT_EQ(parser.Row(), static_cast<std::int32_t>(big.size() / 25 + 1));

  // A comment and a string as long as the whole text.
  std::string comment = "{" + std::string(10'000'000, '*');
  EXPECT_EQ(Lex(comment).error, peCommentError);
  std::string longString = "'" + std::string(10'000'000, 'a') + "'";
  EXPECT_EQ(Lex(longString).tokens[0].kind, tokString);
}

}  // namespace
}  // namespace dravik::engine::tokenizer
