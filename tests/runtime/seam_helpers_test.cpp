// The owner of what the system hands out, and the one way to try again.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "runtime/back_off.h"
#include "runtime/scoped_handle.h"

namespace kwt {
namespace {

// Handles are small numbers; 0 is none. Every close is written down.
std::vector<int> gClosed;

struct CountedTraits {
  using Handle = int;
  static Handle Invalid() noexcept { return 0; }
  static bool IsValid(Handle handle) noexcept { return handle != 0; }
  static bool Close(Handle handle) noexcept {
    gClosed.push_back(handle);
    return handle > 0;  // a negative one stands for a close the system refuses
  }
};
using Counted = ScopedHandle<CountedTraits>;

TEST(ScopedHandle, GivesEachHandleBackOnceWhoeverEndsUpOwningIt) {
  gClosed.clear();
  {
    Counted first(1);
    Counted second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_TRUE(second);
    Counted third(3);
    third = std::move(second);  // 3 goes back, 1 moves on
    EXPECT_EQ(gClosed, std::vector<int>{3});
    Counted taken(4);
    EXPECT_EQ(taken.take(), 4);  // the caller's now: never closed here
    EXPECT_FALSE(taken);
    third.reset(5);  // 1 goes back
    Counted refused(-6);
    EXPECT_FALSE(refused.close());
    EXPECT_FALSE(refused);
    EXPECT_TRUE(Counted().close());  // nothing to give back
  }
  EXPECT_EQ(gClosed, (std::vector<int>{3, 1, -6, 5}));
}

TEST(BackOff, TriesAgainWhileTheAnswerSaysSoWithinItsBudget) {
  using std::chrono::milliseconds;
  static constexpr milliseconds kWaits[] = {milliseconds(1), milliseconds(2), milliseconds(4)};
  static std::vector<milliseconds> waited;
  const BackOff backOff{kWaits, [](milliseconds wait) { waited.push_back(wait); }};
  struct Row {
    int busyAttempts;  // answers "busy" (1) this many times, then 0
    int answer;
    std::size_t waits;
  };
  for (const Row& row : {Row{0, 0, 0}, Row{2, 0, 2}, Row{3, 0, 3}, Row{9, 1, 3}}) {
    SCOPED_TRACE(row.busyAttempts);
    waited.clear();
    int attempts = 0;
    const int answer = Retried(
        backOff, [&] { return ++attempts <= row.busyAttempts ? 1 : 0; }, [](int code) { return code == 1; });
    EXPECT_EQ(answer, row.answer);
    EXPECT_EQ(attempts, static_cast<int>(row.waits) + 1);
    EXPECT_EQ(waited, std::vector<milliseconds>(kWaits, kWaits + row.waits));
  }
}

}  // namespace
}  // namespace kwt
