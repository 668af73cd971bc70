// Waiting for what a test expects to happen, instead of sleeping for a time
// that is too long on a quiet machine and too short on a busy one; and the
// few waits whose point is time itself, each named for why it passes.
#pragma once

#include <chrono>
#include <thread>

namespace kwt::testing {

// Asks condition every step until it holds (true) or timeout has passed
// (false; the condition is asked once more at the end). A condition may do
// work of its own on each ask (answer messages, take a picture).
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout,
               std::chrono::milliseconds step = std::chrono::milliseconds(1)) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(step);
  }
  return condition();
}

// Lets the system's clock for change times move on (it ticks coarsely), so
// that a rewrite made now shows in a file's stamp.
inline void WaitForClockTick() {
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

// Keeps the code under test waiting for this thread for a while: a file held
// that its retries must wait out, a pipe whose reader must block first. What
// the test then checks is that the wait was survived, not a condition.
inline void KeepOthersWaiting(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

// Leaves the window's thread time to take one piece of input before the next
// is sent, as a hand would: the system merges or speeds up input sent at once.
inline void PaceInput() {
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

}  // namespace kwt::testing
