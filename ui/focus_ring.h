// Moving the keyboard focus through controls kept in tab order.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>

namespace kwt::ui {

// The position that the focus moves to from current, forward or back through
// count controls, wrapping around: the first one that accepts it, current
// itself considered last. Without a current position the search starts
// before the first control (forward) or after the last (back). nullopt when
// no control accepts.
std::optional<std::size_t> NextInRing(std::size_t count, std::optional<std::size_t> current, bool forward,
                                      const std::function<bool(std::size_t)>& accepts);

}  // namespace kwt::ui
