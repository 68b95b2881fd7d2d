// Thread pinning: the pinned thread stays on processor 0, while threads that libraries
// start inside an UnpinnedScope may use every processor the process had.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include <thread>

#include "platform/Clock.h"

namespace {

int processorsOf(pthread_t thread) {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (pthread_getaffinity_np(thread, sizeof(set), &set) != 0) return -1;
  return CPU_COUNT(&set);
}

int processorsOfNewThread() {
  int count = 0;
  std::thread([&] { count = processorsOf(pthread_self()); }).join();
  return count;
}

}  // namespace

TEST(ThreadPinning, ThreadsStartedInAnUnpinnedScopeUseEveryProcessor) {
  const int all = processorsOf(pthread_self());
  if (all < 2) GTEST_SKIP() << "one processor: nothing to spread";
  // On a thread of its own, so the test process keeps its affinity.
  std::thread([&] {
    ASSERT_TRUE(platform::pinThreadToFirstProcessor());
    EXPECT_EQ(processorsOf(pthread_self()), 1);
    EXPECT_EQ(processorsOfNewThread(), 1);  // inherited: why the scope exists
    {
      platform::UnpinnedScope outer;
      EXPECT_EQ(processorsOfNewThread(), all);
      {
        platform::UnpinnedScope inner;
        EXPECT_EQ(processorsOfNewThread(), all);
      }
      EXPECT_EQ(processorsOfNewThread(), all);  // the inner scope's end keeps the outer's widening
    }
    EXPECT_EQ(processorsOf(pthread_self()), 1);
    cpu_set_t set;
    pthread_getaffinity_np(pthread_self(), sizeof(set), &set);
    EXPECT_TRUE(CPU_ISSET(0, &set));
  }).join();
}
