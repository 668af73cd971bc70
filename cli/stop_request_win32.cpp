// Windows only: stop requests arrive as console control events.
#include "cli/stop_request.h"

#include <atomic>

#include "runtime/windows_api.h"

namespace kwt::cli {
namespace {

std::atomic<bool> gStopRequested{false};
HANDLE gEnded = nullptr;

// Runs on a thread of its own. For a closing console, logoff or shutdown the
// process ends when this returns, so it waits (within the few seconds Windows
// allows) for the conversion to remove its unfinished file.
BOOL WINAPI OnControlEvent(DWORD event) {
  gStopRequested = true;
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    if (gEnded != nullptr) WaitForSingleObject(gEnded, 4000);
  }
  return TRUE;
}

}  // namespace

void CatchStopRequests() {
  gEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(OnControlEvent, TRUE);
}

bool StopRequested() noexcept {
  return gStopRequested;
}

void RequestStop() noexcept {
  gStopRequested = true;
}

void ConversionsEnded() noexcept {
  if (gEnded != nullptr) SetEvent(gEnded);
}

}  // namespace kwt::cli
