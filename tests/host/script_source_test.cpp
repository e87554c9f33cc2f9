#include "host/script_source.h"

#include <gtest/gtest.h>

#include "host/source_info.h"
#include "rtl/exceptions.h"

namespace qob {
namespace {

TEST(ScriptSourceTest, SplitsAtEveryLineBreakAndJoinsWithCrLf) {
  const struct {
    std::u16string_view text;
    std::vector<std::u16string_view> lines;
    std::u16string_view joined;
  } cases[] = {
      {u"", {}, u""},
      {u"a", {u"a"}, u"a\r\n"},
      {u"a\r\nb\rc\nd", {u"a", u"b", u"c", u"d"}, u"a\r\nb\r\nc\r\nd\r\n"},
      {u"a\r\n", {u"a"}, u"a\r\n"},
      {u"a\n\n", {u"a", u""}, u"a\r\n\r\n"},
      {u"\r\n\r\n", {u"", u""}, u"\r\n\r\n"},
      {u"a\n\rb", {u"a", u"", u"b"}, u"a\r\n\r\nb\r\n"},
  };
  TScriptSourceStrings source(nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(WideString(c.text).ToUtf8());
    source.SetText(c.text);
    ASSERT_EQ(source.Count(), static_cast<int>(c.lines.size()));
    for (int i = 0; i < source.Count(); ++i) EXPECT_EQ(source[i].view(), c.lines[i]);
    EXPECT_EQ(source.Text().view(), c.joined);
  }
}

TEST(ScriptSourceTest, LineOperationsCheckTheirIndex) {
  TScriptSourceStrings source(nullptr);
  source.Add(u"b");
  source.Insert(0, u"a");
  source.Insert(2, u"d");
  source.Put(2, u"c");
  EXPECT_EQ(source.Text().view(), u"a\r\nb\r\nc\r\n");
  EXPECT_THROW(source.Strings(3), EListError);
  EXPECT_THROW(source.Put(-1, u"x"), EListError);
  EXPECT_THROW(source.Insert(4, u"x"), EListError);
  EXPECT_THROW(source.Delete(3), EListError);
  source.Delete(0);
  EXPECT_EQ(source.Text().view(), u"b\r\nc\r\n");
}

TEST(SourceInfoTest, SuffixIsAppendedOnce) {
  int marker = 0;
  const void* source = &marker;
  const WideString once = AddSourceInfo(u"Undeclared identifier: 'x'", source, 3, 7);
  const std::u16string_view text = once.view();
  EXPECT_TRUE(text.starts_with(u"Undeclared identifier: 'x'\r\nSource: $"));
  EXPECT_TRUE(text.ends_with(u" [line: 3, pos: 7]"));
  EXPECT_EQ(AddSourceInfo(once, source, 9, 9), once);

  const struct {
    std::u16string_view message;
    bool hasInfo;
  } cases[] = {
      {u"plain", false},
      {u"index [1] out of range", false},
      {u"x [line: 2, pos: 1]", true},
      {u"x [line: 2] then [pos 3]", false},
      {u"x [line:", true},
      {u"x [lin", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(HasSourceInfo(c.message), c.hasInfo) << WideString(c.message).ToUtf8();
}

}  // namespace
}  // namespace qob
