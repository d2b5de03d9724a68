// The console's control events set a manual-reset event that the loop watches.
#include "platform/shutdown_request.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace velka {

namespace {

HANDLE g_requested = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      ::SetEvent(g_requested);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

NativeHandle InstallShutdownRequest(std::string& error) {
  if (g_requested) return g_requested;
  g_requested = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!g_requested || !::SetConsoleCtrlHandler(OnConsoleEvent, TRUE)) {
    error = "console handler: " + win32::ErrorText(::GetLastError());
    return kNoHandle;
  }
  return g_requested;
}

void AcknowledgeShutdownRequest() {
  if (g_requested) ::ResetEvent(g_requested);
}

}  // namespace velka
