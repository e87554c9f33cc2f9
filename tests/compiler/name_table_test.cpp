#include "compiler/name_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/keyed_tables.h"
#include "rtl/exceptions.h"

namespace qob {
namespace {

// The table is process-wide: every test uses names no other test uses.

TEST(NameTableTest, SpellingsThatDifferInLetterCaseShareOneIdAndTheUpperCaseName) {
  struct Case {
    std::u16string_view a, b, upper;
  };
  const Case cases[] = {
      {u"ntAbc", u"NTABC", u"NTABC"},
      {u"nt_mixed9", u"NT_Mixed9", u"NT_MIXED9"},
      {u"ntÉclair", u"ntéCLAIR", u"NTÉCLAIR"},
      {u"ntstraße", u"NTSTRASSE", u"NTSTRASSE"},
      {u"ntжук", u"NTЖУК", u"NTЖУК"},
      {u"ntinfo", u"NTINFO", u"NTINFO"},  // no locale-dependent dotted I
      {u"nt_a_long_identifier_that_does_not_fit_the_inline_buffer_of_the_fast_path_x",
       u"NT_A_LONG_IDENTIFIER_THAT_DOES_NOT_FIT_THE_INLINE_BUFFER_OF_THE_FAST_PATH_X",
       u"NT_A_LONG_IDENTIFIER_THAT_DOES_NOT_FIT_THE_INLINE_BUFFER_OF_THE_FAST_PATH_X"},
  };
  TQOBNameTable& table = QOBNameTable();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.upper.begin(), c.upper.end()));
    const TQOBNameId id = table.GetNameIndex(c.a, true);
    ASSERT_GE(id, 0);
    EXPECT_EQ(table.GetNameIndex(c.b, true), id);
    EXPECT_EQ(table.GetNameIndex(c.upper, false), id);
    EXPECT_EQ(table.GetName(id).view(), c.upper);
    EXPECT_EQ(table.NameIndexes(id).Data, id);
  }
}

TEST(NameTableTest, LookupWithoutCreateAnswersMinusOneAndAddsNothing) {
  TQOBNameTable& table = QOBNameTable();
  const int32_t before = table.Count();
  EXPECT_EQ(table.GetNameIndex(u"ntNeverCreated", false), kQOBNoName);
  EXPECT_EQ(table.Count(), before);
  // The next new name takes the id the refused lookup did not use.
  EXPECT_EQ(table.GetNameIndex(u"ntCreatedNow", true), before);
  EXPECT_EQ(table.Count(), before + 1);
  EXPECT_EQ(table.GetNameIndex(u"ntNeverCreated", false), kQOBNoName);
}

TEST(NameTableTest, IdsStayStableWhileTheTableGrows) {
  TQOBNameTable& table = QOBNameTable();
  std::vector<TQOBNameId> ids;
  for (int i = 0; i < 5000; ++i) {
    const std::string digits = std::to_string(i);
    const std::u16string name =
        u"ntGrow" + std::u16string(1, u'a' + i % 26) + std::u16string(digits.begin(), digits.end());
    ids.push_back(table.GetNameIndex(name, true));
  }
  for (size_t i = 1; i < ids.size(); ++i) EXPECT_EQ(ids[i], ids[i - 1] + 1);
  EXPECT_EQ(table.GetNameIndex(u"NTGROWA0", false), ids[0]);
  EXPECT_EQ(table.GetNameIndex(u"ntgrowh4999", false), ids[4999]);
  EXPECT_EQ(table.GetName(ids[26]).view(), u"NTGROWA26");
}

TEST(NameTableTest, AnIdNeverHandedOutIsAnError) {
  TQOBNameTable& table = QOBNameTable();
  EXPECT_THROW(table.GetName(-1), EListError);
  EXPECT_THROW(table.GetName(table.Count()), EListError);
}

// Counts its own destruction, to see which tables free their items.
struct CountedItem : TQOBNamedItem {
  CountedItem(TQOBNameId AName, int& ADestroyed) : TQOBNamedItem(AName), destroyed(ADestroyed) {}
  ~CountedItem() override { ++destroyed; }
  int& destroyed;
};

TEST(KeyedTablesTest, NameHashTableRefusesDuplicatesAndFreesOnlyWhenOwning) {
  for (const bool owns : {true, false}) {
    SCOPED_TRACE(owns ? "owning" : "not owning");
    int destroyed = 0;
    std::vector<std::unique_ptr<CountedItem>> keep;  // frees what a non-owning table does not
    {
      TQOBNameHashTable table(owns);
      for (int i = 0; i < 1000; ++i) {
        auto item = std::make_unique<CountedItem>(i * 7, destroyed);
        ASSERT_TRUE(table.Add(item.get()));
        if (owns)
          item.release();
        else
          keep.push_back(std::move(item));
      }
      CountedItem duplicate(7, destroyed);
      EXPECT_FALSE(table.Add(&duplicate));
      EXPECT_EQ(table.Count(), 1000);
      EXPECT_EQ(table.Find(7 * 999)->FName, 7 * 999);
      EXPECT_EQ(table.Find(8), nullptr);

      EXPECT_TRUE(table.Remove(7));
      EXPECT_FALSE(table.Remove(7));
      EXPECT_EQ(table.Find(7), nullptr);
      EXPECT_EQ(destroyed, owns ? 1 : 0);

      std::vector<TQOBNamedItem*> all;
      table.GetAll(all);
      EXPECT_EQ(all.size(), 999u);
      table.Clear();
      EXPECT_EQ(table.Count(), 0);
      EXPECT_EQ(table.Find(14), nullptr);
      EXPECT_EQ(destroyed, owns ? 1000 : 0);
    }
    keep.clear();
    EXPECT_EQ(destroyed, 1001);  // the duplicate on the stack as well
  }
}

TEST(KeyedTablesTest, IdentifierHashTableComparesTextExactly) {
  TQOBIdentifierHashTable table(true);
  auto add = [&](std::u16string_view text, int32_t data) {
    return table.Add(
        new TQOBIdentifierItem(WideString(text), data, TQOBIdentifierHashTable::HashOf(text)));
  };
  for (int i = 0; i < 300; ++i) {
    const std::string digits = std::to_string(i);
    ASSERT_TRUE(add(u"K" + std::u16string(digits.begin(), digits.end()), i));
  }
  EXPECT_TRUE(add(u"abc", 1000));
  EXPECT_TRUE(add(u"ABC", 1001));  // another key: no case folding here
  auto* dup = new TQOBIdentifierItem(u"abc", 1002, TQOBIdentifierHashTable::HashOf(u"abc"));
  EXPECT_FALSE(table.Add(dup));
  delete dup;
  EXPECT_EQ(table.Find(u"abc")->Data, 1000);
  EXPECT_EQ(table.Find(u"ABC")->Data, 1001);
  EXPECT_EQ(table.Find(u"K299")->Data, 299);
  EXPECT_EQ(table.Find(u"Abc"), nullptr);
  EXPECT_TRUE(table.Remove(u"abc"));
  EXPECT_EQ(table.Find(u"abc"), nullptr);
  EXPECT_EQ(table.Count(), 301);
  std::vector<TQOBIdentifierItem*> all;
  table.GetAll(all);
  EXPECT_EQ(all.size(), 301u);
}

}  // namespace
}  // namespace qob
