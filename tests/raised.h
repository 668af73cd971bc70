// Catching the one error a test expects, so that it can look at it.
#pragma once

#include <optional>

namespace kwt::testing {

// The error of type E that run raised; none when it raised nothing (any other
// error passes through and fails the test).
template <typename E, typename F>
std::optional<E> Raised(F&& run) {
  try {
    run();
  } catch (const E& error) {
    return error;
  }
  return std::nullopt;
}

}  // namespace kwt::testing
