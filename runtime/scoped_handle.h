// One owner for everything the system hands out that must be given back: a
// descriptor, a handle, a search, a COM pointer, a GDI object. Each kind is a
// traits type that says what "none" is and how the thing goes back:
//
//   struct Traits {
//     using Handle = ...;
//     static Handle Invalid() noexcept;         // what an empty owner holds
//     static bool IsValid(Handle) noexcept;     // false for every "none"
//     static bool Close(Handle) noexcept;       // false when the system refused
//   };
#pragma once

#include <utility>

namespace kwt {

// Move-only: a copy would give the same thing back twice.
template <typename Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  ScopedHandle() noexcept = default;
  // Takes ownership of handle.
  explicit ScopedHandle(Handle handle) noexcept : handle_(handle) {}
  ~ScopedHandle() { reset(); }
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.take()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) reset(other.take());
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  explicit operator bool() const noexcept { return Traits::IsValid(handle_); }
  Handle get() const noexcept { return handle_; }
  // Gives up ownership: the caller gives it back.
  Handle take() noexcept { return std::exchange(handle_, Traits::Invalid()); }
  // Gives back what is held, if anything, and takes handle instead.
  void reset(Handle handle = Traits::Invalid()) noexcept { (void)Close(std::exchange(handle_, handle)); }
  // Gives it back now; false when the system refused (its last error says
  // why). Empty afterwards either way.
  bool close() noexcept { return Close(take()); }

 private:
  static bool Close(Handle handle) noexcept { return !Traits::IsValid(handle) || Traits::Close(handle); }

  Handle handle_ = Traits::Invalid();
};

}  // namespace kwt
