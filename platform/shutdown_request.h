#pragma once
// A request from outside to stop the program: SIGTERM or SIGINT on POSIX; Ctrl+C, Ctrl+Break,
// the console window closed, log-off or shut-down on Windows. The request only makes a handle
// readable; the program's loop watches it and shuts down in order, also while a job waits for
// the register (the waits run the loop).
#include <string>

#include "platform/native_handle.h"

namespace velka {

// Installs the handlers (once per process); the handle becomes readable at the first request.
// kNoHandle with the reason in error when the system refuses.
NativeHandle InstallShutdownRequest(std::string& error);

// Takes the requests that came: the handle is not readable any more until the next one.
void AcknowledgeShutdownRequest();

}  // namespace velka
