#include "ole/widestring.h"

#include <gtest/gtest.h>

#include "ole/variant.h"

namespace qob {
namespace {

TEST(WideStringTest, Utf8RoundTripIncludingSurrogatePairs) {
  const std::string text = "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80 \xE2\x82\xAC";
  WideString w = WideString::FromUtf8(text);
  EXPECT_EQ(w.size(), 10u);  // the emoji takes two code units
  EXPECT_EQ(w.ToUtf8(), text);
}

TEST(WideStringTest, MalformedUtf8BecomesReplacementCharacter) {
  EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(Utf8ToUtf16("\xC0\x80"), u"\uFFFD\uFFFD");  // overlong form
  EXPECT_EQ(Utf8ToUtf16("x\xE2\x82"), u"x\uFFFD");      // truncated sequence
  EXPECT_EQ(Utf16ToUtf8(u"\xD800"), "\xEF\xBF\xBD");     // lone surrogate
}

TEST(WideStringTest, CopyingAStringVariantSharesTheCharacters) {
  Variant a(u"shared text");
  Variant b(a);
  EXPECT_EQ(a.VOleStr, b.VOleStr);
  EXPECT_EQ(b.StringView(), u"shared text");
  a.Clear();
  EXPECT_EQ(b.StringView(), u"shared text");
}

}  // namespace
}  // namespace qob
