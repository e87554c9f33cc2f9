#include "rtl/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>
#include <vector>

namespace qob {
namespace {

TEST(TEventTest, AutoResetAndTimeouts) {
  TEvent event;
  EXPECT_FALSE(event.WaitFor(0));
  EXPECT_FALSE(event.WaitFor(10));
  event.SetEvent();
  EXPECT_TRUE(event.WaitFor(0));
  EXPECT_FALSE(event.WaitFor(0));  // the wait consumed the signal
  event.SetEvent();
  event.ResetEvent();
  EXPECT_FALSE(event.WaitFor(0));
  TEvent initiallySet(true);
  EXPECT_TRUE(initiallySet.WaitFor(0));
}

TEST(TEventTest, EachSetReleasesOneWaitingThread) {
  TEvent event;
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i)
    waiters.emplace_back([&] {
      if (event.WaitFor()) released.fetch_add(1);
    });
  for (int i = 1; i <= 3; ++i) {
    event.SetEvent();
    // Released waiters consume their signal; wait until this one has gone through.
    while (released.load() < i) YieldThread();
    // Give a wrongly released second waiter the chance to show up.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(released.load(), i);
  }
  for (std::thread& t : waiters) t.join();
  EXPECT_FALSE(event.WaitFor(0));
}

TEST(TEventTest, HandshakeBetweenTwoThreads) {
  TEvent ping;
  TEvent pong;
  int counter = 0;  // guarded by the alternation of the two events
  std::thread other([&] {
    for (int i = 0; i < 100; ++i) {
      ASSERT_TRUE(ping.WaitFor(10000));
      ++counter;
      pong.SetEvent();
    }
  });
  for (int i = 0; i < 100; ++i) {
    ping.SetEvent();
    ASSERT_TRUE(pong.WaitFor(10000));
    EXPECT_EQ(counter, i + 1);
  }
  other.join();
}

TEST(ThreadIdTest, DistinctPerThreadAndStable) {
  const uint64_t mine = CurrentThreadId();
  EXPECT_NE(mine, 0u);
  EXPECT_EQ(CurrentThreadId(), mine);
  std::vector<uint64_t> ids(4);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < ids.size(); ++i)
    threads.emplace_back([&ids, i] { ids[i] = CurrentThreadId(); });
  for (std::thread& t : threads) t.join();
  std::set<uint64_t> distinct(ids.begin(), ids.end());
  distinct.insert(mine);
  EXPECT_EQ(distinct.size(), ids.size() + 1);
}

}  // namespace
}  // namespace qob
