// POSIX only: stop requests arrive as signals.
#include "cli/stop_request.h"

#include <csignal>
#include <initializer_list>

namespace kwt::cli {
namespace {

volatile std::sig_atomic_t gStopRequested = 0;

extern "C" void OnStopSignal(int) {
  gStopRequested = 1;
}

}  // namespace

void CatchStopRequests() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // Calls under way go on; the conversion looks at the flag between records.
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

bool StopRequested() noexcept {
  return gStopRequested != 0;
}

void RequestStop() noexcept {
  gStopRequested = 1;
}

void ConversionsEnded() noexcept {}

}  // namespace kwt::cli
