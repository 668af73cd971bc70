// Waiting for what a test expects to happen, instead of sleeping for a time
// that is too long on a quiet machine and too short on a busy one.
#pragma once

#include <chrono>
#include <thread>

namespace kwt::testing {

// Asks condition every millisecond until it holds (true) or timeout has passed
// (false; the condition is asked once more at the end).
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return condition();
}

}  // namespace kwt::testing
