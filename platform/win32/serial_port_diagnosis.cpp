// Why a COM port cannot be opened on Windows: the device opened for a moment, its error told
// apart (no such port; access denied, which for a COM port means another program holds it).
#include "platform/serial_port_diagnosis.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace velka {

namespace {

std::string SystemText(DWORD error) {
  char buffer[256] = {};
  const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, buffer, sizeof buffer, nullptr);
  std::string text(buffer, n);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) {
    text.pop_back();
  }
  return text.empty() ? "error " + std::to_string(error) : text;
}

}  // namespace

PortDiagnosis DiagnoseSerialPort(int port_number) {
  PortDiagnosis d;
  d.port_number = port_number;
  if (port_number < 1) {
    d.problem = PortProblem::InvalidNumber;
    return d;
  }
  d.location = LocatePort(port_number);
  HANDLE port = ::CreateFileW(win32::Widen(d.location.device).c_str(), GENERIC_READ | GENERIC_WRITE,
                              0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (port != INVALID_HANDLE_VALUE) {
    DCB settings{};
    settings.DCBlength = sizeof settings;
    if (!::GetCommState(port, &settings)) d.problem = PortProblem::NotSerial;
    ::CloseHandle(port);
    return d;
  }
  const DWORD error = ::GetLastError();
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      d.problem = PortProblem::NoDevice;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      d.problem = PortProblem::HeldByAnother;
      break;
    default:
      d.problem = PortProblem::OtherError;
      d.error = SystemText(error);
      break;
  }
  return d;
}

}  // namespace velka
