// The one way to try again what may fail for a moment (a virus scanner that
// opened a file just written, another conversion's look of a moment at a
// folder): the attempt is repeated after each of a growing series of waits
// for as long as its answer says so, and the last answer stands.
#pragma once

#include <chrono>
#include <span>
#include <thread>
#include <type_traits>

namespace kwt {

struct BackOff {
  // The waits before each further attempt; their sum is the budget.
  std::span<const std::chrono::milliseconds> waits;
  // How a wait is spent; a test counts them instead of sleeping.
  void (*sleep)(std::chrono::milliseconds) = [](std::chrono::milliseconds wait) {
    std::this_thread::sleep_for(wait);
  };
};

// Calls attempt, then again after each wait while again(answer) holds;
// answers the last answer.
template <typename Attempt, typename Again>
std::invoke_result_t<Attempt&> Retried(const BackOff& backOff, Attempt&& attempt, Again&& again) {
  auto answer = attempt();
  for (const std::chrono::milliseconds wait : backOff.waits) {
    if (!again(answer)) break;
    backOff.sleep(wait);
    answer = attempt();
  }
  return answer;
}

}  // namespace kwt
