#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "compiler/name_table.h"

namespace qob {
namespace {

// Several threads create and look up overlapping names at once, in different
// orders and letter cases: every name must end up with exactly one id, and
// every thread must have been told that id.
TEST(NameTableThreadsTest, ConcurrentInsertsAgreeOnOneIdPerName) {
  constexpr int kThreads = 6;
  constexpr int kNames = 3000;
  auto nameOf = [](int i, bool upper) {
    const std::string digits = std::to_string(i);
    return (upper ? std::u16string(u"NTTHREADED_") : std::u16string(u"ntThreaded_")) +
           std::u16string(digits.begin(), digits.end());
  };
  std::vector<std::vector<TQOBNameId>> seen(kThreads, std::vector<TQOBNameId>(kNames, -1));
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      TQOBNameTable& table = QOBNameTable();
      for (int k = 0; k < kNames; ++k) {
        const int i = (t % 2 == 0) ? k : kNames - 1 - k;
        seen[t][i] = table.GetNameIndex(nameOf(i, t % 3 == 0), true);
        // Readers of names made by other threads.
        const TQOBNameId other = table.GetNameIndex(nameOf((i * 7) % kNames, false), false);
        if (other >= 0) {
          EXPECT_EQ(table.GetName(other).view(), nameOf((i * 7) % kNames, true));
        }
      }
    });
  }
  for (std::thread& th : threads) th.join();

  TQOBNameTable& table = QOBNameTable();
  std::vector<bool> used(static_cast<size_t>(table.Count()), false);
  for (int i = 0; i < kNames; ++i) {
    const TQOBNameId id = seen[0][i];
    ASSERT_GE(id, 0);
    for (int t = 1; t < kThreads; ++t) ASSERT_EQ(seen[t][i], id) << "name " << i;
    EXPECT_FALSE(used[id]) << "two names share id " << id;
    used[id] = true;
    EXPECT_EQ(table.GetName(id).view(), nameOf(i, true));
  }
}

}  // namespace
}  // namespace qob
