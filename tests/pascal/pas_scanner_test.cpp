#include "pascal/pas_scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pas_test_util.h"
#include "pascal/pas_errors.h"

namespace qob {
namespace {

using qob::testing::U8;
using enum TQOBPasToken;

struct Tok {
  TQOBPasToken token;
  int32_t start;
  int32_t end;
  bool operator==(const Tok&) const = default;
};

void PrintTo(const Tok& t, std::ostream* os) {
  *os << "{" << static_cast<int>(t.token) << ", " << t.start << ", " << t.end << "}";
}

std::vector<Tok> Scan(std::u16string_view source, bool skipComments = true) {
  TQOBPasScanner scanner(skipComments);
  scanner.Start(WideString(source));
  std::vector<Tok> tokens;
  for (;;) {
    tokens.push_back({scanner.Token(), scanner.TokenStartPos(), scanner.TokenEndPos()});
    if (scanner.Token() == ptEOf) return tokens;
    scanner.SkipToken();
  }
}

struct TokenCase {
  std::u16string source;
  std::vector<Tok> tokens;
};

TEST(PasScannerTest, TokenKindsAndPositions) {
  const std::vector<TokenCase> cases = {
      {u"", {{ptEOf, 1, 1}}},
      {u"  { only a comment } // and another\r\n(* and *)  ", {{ptEOf, 49, 49}}},
      {u"BEGIN Begin begin",
       {{ptBegin, 1, 5}, {ptBegin, 7, 11}, {ptBegin, 13, 17}, {ptEOf, 18, 18}}},
      {u"a{x}b", {{ptIdentifier, 1, 1}, {ptIdentifier, 5, 5}, {ptEOf, 6, 6}}},
      {u"x:=1..3;",
       {{ptIdentifier, 1, 1},
        {ptAssignment, 2, 3},
        {ptCInteger, 4, 4},
        {ptDoublePeriod, 5, 6},
        {ptCInteger, 7, 7},
        {ptSemiColon, 8, 8},
        {ptEOf, 9, 9}}},
      {u"<><=<>=>=.",
       {{ptNotEqual, 1, 2},
        {ptLessEqual, 3, 4},
        {ptNotEqual, 5, 6},
        {ptEqual, 7, 7},
        {ptGreaterEqual, 8, 9},
        {ptPeriod, 10, 10},
        {ptEOf, 11, 11}}},
      {u"(a*b)/c-d+@e[f],g:h",
       {{ptOpenRound, 1, 1},    {ptIdentifier, 2, 2},   {ptMultiply, 3, 3},
        {ptIdentifier, 4, 4},   {ptCloseRound, 5, 5},   {ptDivide, 6, 6},
        {ptIdentifier, 7, 7},   {ptMinus, 8, 8},        {ptIdentifier, 9, 9},
        {ptPlus, 10, 10},       {ptReference, 11, 11},  {ptIdentifier, 12, 12},
        {ptOpenBlock, 13, 13},  {ptIdentifier, 14, 14}, {ptCloseBlock, 15, 15},
        {ptComma, 16, 16},      {ptIdentifier, 17, 17}, {ptColon, 18, 18},
        {ptIdentifier, 19, 19}, {ptEOf, 20, 20}}},
      // Characters beyond Latin-1 separate tokens like white space.
      {u"ab\u0436cd", {{ptIdentifier, 1, 2}, {ptIdentifier, 4, 5}, {ptEOf, 6, 6}}},
      {u"'It''s'#13#10'ok' 1.5e3 $ff",
       {{ptCString, 1, 17}, {ptCFloat, 19, 23}, {ptCInteger, 25, 27}, {ptEOf, 28, 28}}},
      {u"and div in is mod not or shl shr xor",
       {{ptAnd, 1, 3},
        {ptDiv, 5, 7},
        {ptIn, 9, 10},
        {ptIs, 12, 13},
        {ptMod, 15, 17},
        {ptNot, 19, 21},
        {ptOr, 23, 24},
        {ptShl, 26, 28},
        {ptShr, 30, 32},
        {ptXor, 34, 36},
        {ptEOf, 37, 37}}},
      // 'True', 'Null' and built-in names are identifiers; keywords need the whole word.
      {u"True Null endx _end1",
       {{ptIdentifier, 1, 4},
        {ptIdentifier, 6, 9},
        {ptIdentifier, 11, 14},
        {ptIdentifier, 16, 20},
        {ptEOf, 21, 21}}},
      // A comment that is never closed runs to the end of the text.
      {u"a { never closed", {{ptIdentifier, 1, 1}, {ptEOf, 17, 17}}},
      {u"a (* never closed *", {{ptIdentifier, 1, 1}, {ptEOf, 20, 20}}},
      {u"a // line\nb", {{ptIdentifier, 1, 1}, {ptIdentifier, 11, 11}, {ptEOf, 12, 12}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(WideString(c.source).ToUtf8());
    EXPECT_EQ(Scan(c.source), c.tokens);
  }
}

TEST(PasScannerTest, EveryKeywordInAnyCase) {
  for (int i = 0; i < kPasTokenCount; ++i) {
    const auto token = static_cast<TQOBPasToken>(i);
    const TQOBPasTokenDescription& d = PasTokenDescription(token);
    if (!d.IsKeyword) continue;
    std::u16string upper(d.S);
    for (char16_t& ch : upper) ch = static_cast<char16_t>(ch - u'a' + u'A');
    for (const std::u16string& text : {std::u16string(d.S), upper}) {
      TQOBPasScanner scanner(true);
      scanner.Start(WideString(text));
      EXPECT_EQ(scanner.Token(), token) << WideString(text).ToUtf8();
    }
  }
}

TEST(PasScannerTest, TokenDataAndComments) {
  TQOBPasScanner scanner(false);
  scanner.Start(
      u"'It''s'#13#10'ok' #$41'' #65#66 {c1} MyName(*c2*)2147483647 $80000000 "
      u"$FFFFFFFF $000000001 1.5e3 2.5 7E-2 1. // tail");
  EXPECT_EQ(U8(scanner.SData()), U8(u"It's\r\nok"));
  EXPECT_EQ(scanner.SData().size(), 8u);
  scanner.SkipToken();
  EXPECT_EQ(U8(scanner.SData()), U8(u"A"));
  scanner.SkipToken();
  EXPECT_EQ(U8(scanner.SData()), U8(u"AB"));
  scanner.SkipToken();
  EXPECT_EQ(scanner.Token(), ptComment);
  EXPECT_EQ(U8(scanner.SData()), U8(u"{c1}"));
  scanner.SkipToken();
  EXPECT_EQ(scanner.Token(), ptIdentifier);
  EXPECT_EQ(U8(scanner.SData()), U8(u"MyName"));
  scanner.SkipToken();
  EXPECT_EQ(U8(scanner.SData()), U8(u"(*c2*)"));
  const std::vector<int32_t> integers = {2147483647, INT32_MIN, -1, 1};
  for (int32_t expected : integers) {
    scanner.SkipToken();
    EXPECT_EQ(scanner.Token(), ptCInteger);
    EXPECT_EQ(scanner.IData(), expected);
  }
  for (double expected : {1500.0, 2.5, 0.07, 1.0}) {
    scanner.SkipToken();
    EXPECT_EQ(scanner.Token(), ptCFloat);
    EXPECT_DOUBLE_EQ(scanner.FData(), expected);
  }
  scanner.SkipToken();
  EXPECT_EQ(scanner.Token(), ptComment);
  EXPECT_EQ(U8(scanner.SData()), U8(u"// tail"));
  scanner.SkipToken();
  EXPECT_EQ(scanner.Token(), ptEOf);
}

TEST(PasScannerTest, RollbackReadsTheSameTokenAgain) {
  TQOBPasScanner scanner(true);
  scanner.Start(u"on E : Exception");
  scanner.SkipToken();
  const size_t savepoint = scanner.GetSavepoint();
  scanner.SkipToken();
  EXPECT_EQ(scanner.Token(), ptColon);
  scanner.Rollback(savepoint);
  EXPECT_EQ(scanner.Token(), ptIdentifier);
  EXPECT_EQ(U8(scanner.SData()), U8(u"E"));
  EXPECT_EQ(scanner.TokenStartPos(), 4);
  EXPECT_EQ(scanner.TokenEndPos(), 4);
}

TEST(PasScannerTest, TokenToStrQuotesTheDescription) {
  EXPECT_EQ(U8(TQOBPasScanner::TokenToStr(ptEOf)), U8(u"'end of file'"));
  EXPECT_EQ(U8(TQOBPasScanner::TokenToStr(ptAssignment)), U8(u"':='"));
  EXPECT_EQ(U8(TQOBPasScanner::TokenToStr(ptCFloat)), U8(u"'real constant'"));
  EXPECT_EQ(U8(TQOBPasScanner::TokenToStr(ptDownto)), U8(u"'downto'"));
}

struct ErrorCase {
  std::u16string source;
  std::u16string message;
  int32_t pos;
};

TEST(PasScannerTest, LexicalErrorsWithTheirPositions) {
  const std::u16string hugeDigits(5000, u'9');
  const std::vector<ErrorCase> cases = {
      {u"a \"b\"", u"Illegal character: '\"' ($22)", 3},
      {u"x\u00E9", u"Illegal character: '\u00E9' ($E9)", 2},
      {u"a ! b", u"Illegal character: '!' ($21)", 3},
      {u"}", u"Illegal character: '}' ($7D)", 1},
      {u"a \x7F", u"Illegal character: '\x7F' ($7F)", 3},
      // A NUL inside the text is an error, not the end of the script.
      {std::u16string(u"begin\0 end;", 11), u"Illegal character: '' ($0)", 6},
      {std::u16string(u"'ab\0c'", 6), u"Illegal character: '' ($0)", 4},
      {std::u16string(u"{a\0b} x", 8), u"Illegal character: '' ($0)", 3},
      {std::u16string(u"(* a\0 *)", 9), u"Illegal character: '' ($0)", 5},
      {std::u16string(u"// c\0", 5), u"Illegal character: '' ($0)", 5},
      {u"x := 'abc", u"Unterminated string", 9},
      {u"x := 'ab\r\nc'", u"Unterminated string", 8},
      {u"'a'#10'b\n'", u"Unterminated string", 8},
      {u"2147483648", u"Syntax error in Integer constant", 11},
      {hugeDigits + u" ", u"Syntax error in Integer constant", 5001},
      {u"$100000000;", u"Syntax error in Integer constant", 11},
      {u"$;", u"Syntax error in Integer constant", 2},
      {u"'a'#", u"Syntax error in Integer constant", 5},
      {u"#x", u"Syntax error in Integer constant", 2},
      {u"#$", u"Syntax error in Integer constant", 3},
      {u"#99999999999", u"Syntax error in Integer constant", 13},
      {u"1.2.3 ", u"Syntax error in float constant", 6},
      {u"1e", u"Syntax error in float constant", 3},
      {u"1e+;", u"Syntax error in float constant", 4},
      {u"1e99999", u"Syntax error in float constant", 8},
      {hugeDigits + u"e999", u"Syntax error in float constant", 5005},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(WideString(c.source).ToUtf8());
    try {
      Scan(c.source);
      ADD_FAILURE() << "no error";
    } catch (const EQOBPasCompiler& e) {
      EXPECT_EQ(U8(e.Message()), U8(c.message));
      EXPECT_EQ(e.SourcePos(), c.pos);
    }
  }
}

TEST(PasScannerTest, HugeValidLiteralsScanWithoutLoss) {
  const std::u16string zeros(3000, u'0');
  EXPECT_EQ(
      Scan(zeros + u"7 $" + zeros + u"1F"),
      (std::vector<Tok>{{ptCInteger, 1, 3001}, {ptCInteger, 3003, 6005}, {ptEOf, 6006, 6006}}));
  TQOBPasScanner scanner(true);
  scanner.Start(WideString(u"0." + zeros + u"15e3001"));
  EXPECT_EQ(scanner.Token(), ptCFloat);
  EXPECT_DOUBLE_EQ(scanner.FData(), 1.5);
}

}  // namespace
}  // namespace qob
