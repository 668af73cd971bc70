// The program's taskbar button as a progress bar: the seam through which the
// window shows how far a conversion or a run is. The system's button
// (ITaskbarList3, Windows 7 and later) is one side of it; a test puts one that
// records in its place.
#pragma once

#include <cstdint>
#include <memory>

#include "runtime/windows_api.h"

namespace kwt::ui {

enum class TaskbarState { None, Normal, Paused, Error };

class TaskbarProgress {
 public:
  virtual ~TaskbarProgress() = default;
  // The system has made the button, or made it again after Explorer
  // restarted: from now on the button can show progress.
  virtual void ButtonCreated() = 0;
  // None leaves nothing on the button; Normal, Paused and Error show the last
  // value.
  virtual void SetState(TaskbarState state) = 0;
  // How much of the whole is done; total is never 0.
  virtual void SetValue(std::uint64_t done, std::uint64_t total) = 0;
};

// The taskbar button of window, through ITaskbarList3 once the button has
// been made. Before that, and where the system has no such interface
// (Windows Vista and older, a system without a taskbar), it shows nothing and
// every call does nothing.
std::unique_ptr<TaskbarProgress> SystemTaskbarProgress(HWND window);

}  // namespace kwt::ui
