// Device contexts that give themselves back the way they were obtained, once,
// whichever way the scope ends; and objects selected into one for a scope.
#pragma once

#include <utility>

#include "runtime/scoped_handle.h"
#include "runtime/windows_api.h"

namespace kwt::ui {

// A GDI object of ours (a font, a bitmap), deleted when its owner goes.
template <class Object>
struct GdiTraits {
  using Handle = Object;
  static Handle Invalid() noexcept { return nullptr; }
  static bool IsValid(Handle object) noexcept { return object != nullptr; }
  static bool Close(Handle object) noexcept { return DeleteObject(object) != FALSE; }
};
using FontObject = ScopedHandle<GdiTraits<HFONT>>;
using BitmapObject = ScopedHandle<GdiTraits<HBITMAP>>;

// Owns one device context; Release gives it back. Move-only: a copy would
// give the same context back twice.
template <class Release>
class UniqueDC {
 public:
  UniqueDC() = default;
  UniqueDC(HDC dc, Release release) noexcept : dc_(dc), release_(std::move(release)) {}
  ~UniqueDC() { Reset(); }
  UniqueDC(UniqueDC&& other) noexcept : dc_(std::exchange(other.dc_, nullptr)), release_(other.release_) {}
  UniqueDC& operator=(UniqueDC&& other) noexcept {
    if (this != &other) {
      Reset();
      dc_ = std::exchange(other.dc_, nullptr);
      release_ = other.release_;
    }
    return *this;
  }
  UniqueDC(const UniqueDC&) = delete;
  UniqueDC& operator=(const UniqueDC&) = delete;

  HDC get() const noexcept { return dc_; }
  explicit operator bool() const noexcept { return dc_ != nullptr; }

 private:
  void Reset() noexcept {
    if (dc_ != nullptr) release_(std::exchange(dc_, nullptr));
  }

  HDC dc_ = nullptr;
  Release release_{};
};

struct ReleaseWindowDC {
  HWND window = nullptr;
  void operator()(HDC dc) const noexcept { ReleaseDC(window, dc); }
};
struct DeleteMemoryDC {
  void operator()(HDC dc) const noexcept { DeleteDC(dc); }
};
struct EndPainting {
  HWND window = nullptr;
  PAINTSTRUCT paint{};
  void operator()(HDC) const noexcept { EndPaint(window, &paint); }
};

// A window's client-area context (GetDC); empty when the system has none to give.
using ClientDC = UniqueDC<ReleaseWindowDC>;
inline ClientDC ClientDCOf(HWND window) noexcept {
  return ClientDC(GetDC(window), ReleaseWindowDC{window});
}

// A memory context compatible with compatible_with (null: the screen).
using MemoryDC = UniqueDC<DeleteMemoryDC>;
inline MemoryDC CompatibleMemoryDC(HDC compatibleWith) noexcept {
  return MemoryDC(CreateCompatibleDC(compatibleWith), DeleteMemoryDC{});
}

// The context of one WM_PAINT, between BeginPaint and EndPaint.
using PaintDC = UniqueDC<EndPainting>;
inline PaintDC BeginPainting(HWND window) noexcept {
  EndPainting end{window, {}};
  const HDC dc = BeginPaint(window, &end.paint);
  return PaintDC(dc, end);
}

// Selects an object into a device context for one scope.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~Selected() { SelectObject(dc_, previous_); }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace kwt::ui
