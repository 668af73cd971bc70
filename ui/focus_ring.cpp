#include "ui/focus_ring.h"

namespace kwt::ui {

std::optional<std::size_t> NextInRing(std::size_t count, std::optional<std::size_t> current, bool forward,
                                      const std::function<bool(std::size_t)>& accepts) {
  for (std::size_t step = 1; step <= count; ++step) {
    std::size_t index = 0;
    if (current) {
      // step == count comes back to current itself.
      index = forward ? (*current + step) % count : (*current + count - step % count) % count;
    } else {
      index = forward ? step - 1 : count - step;
    }
    if (accepts(index)) return index;
  }
  return std::nullopt;
}

}  // namespace kwt::ui
