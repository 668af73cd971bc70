// Requests to stop (Ctrl+C, SIGTERM, SIGHUP; console control events on
// Windows) that a running conversion honours at its next record.
#pragma once

namespace kwt::cli {

// Installs the handlers. From then on a request only sets a flag: the
// conversion removes its unfinished file and the program ends with 130.
void CatchStopRequests();
bool StopRequested() noexcept;
// What a handler does; for tests.
void RequestStop() noexcept;
// Tells a handler that waits for the process to be closed that the
// conversions have ended (Windows closes a console's programs when the handler
// returns).
void ConversionsEnded() noexcept;

}  // namespace kwt::cli
