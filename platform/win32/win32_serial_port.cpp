// The Win32 serial port.
#include "platform/win32/win32_serial_port.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/event_loop.h"
#include "platform/win32/wide_text.h"

namespace velka {

namespace {

// One readAll() takes at most this much, so a device that floods the line cannot make the
// control's memory grow without bound; the rest waits for the next read.
constexpr std::size_t kReadLimit = 64 * 1024;
constexpr DWORD kReadChunk = 4096;
// Longest a read (of bytes already queued) or a write may take.
constexpr DWORD kReadWaitMs = 1000;
constexpr DWORD kWriteWaitMs = 2000;
// Driver queue sizes asked for at open.
constexpr DWORD kQueueBytes = 4096;
// Arming the receive wait is retried this often when it completes at once with nothing to
// read (a line error, say), before the port gives up waking the loop for this turn.
constexpr int kArmAttempts = 4;

// Errors by which a port says it is gone (an adapter pulled out, a device closed under it).
bool DeviceGone(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_REMOVED:
    case ERROR_GEN_FAILURE:
    case ERROR_INVALID_HANDLE:
    case ERROR_OPERATION_ABORTED:
    case ERROR_DEV_NOT_EXIST:
      return true;
    default:
      return false;
  }
}

// The line-error events of ClearCommError's flags.
std::vector<int> LineErrorCodes(DWORD errors) {
  std::vector<int> codes;
  if (errors & CE_BREAK) codes.push_back(kCommErrorBreak);
  if (errors & CE_FRAME) codes.push_back(kCommErrorFrame);
  if (errors & CE_OVERRUN) codes.push_back(kCommErrorOverrun);
  if (errors & CE_RXOVER) codes.push_back(kCommErrorRxOver);
  if (errors & CE_RXPARITY) codes.push_back(kCommErrorRxParity);
  if (errors & CE_TXFULL) codes.push_back(kCommErrorTxFull);
  return codes;
}

}  // namespace

struct Win32SerialPort::Impl {
  explicit Impl(EventLoop& l) : loop(l) {
    rx_event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    io_event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  }
  ~Impl() {
    close();
    if (rx_event) ::CloseHandle(rx_event);
    if (io_event) ::CloseHandle(io_event);
  }

  EventLoop& loop;
  HANDLE port = INVALID_HANDLE_VALUE;
  HANDLE claim = nullptr;     // the port's named mutex while this object holds the port
  HANDLE rx_event = nullptr;  // readiness: set while received bytes wait
  HANDLE io_event = nullptr;  // completion of reads and writes
  OVERLAPPED wait_overlapped{};
  DWORD wait_mask = 0;
  bool wait_pending = false;
  std::string device;
  int baud = 0;
  int threshold = 0;
  bool hung_up = false;
  DWORD line_errors = 0;  // ClearCommError flags not yet raised as events
  std::string last_error;
  std::function<void(int)> handler;
  std::unique_ptr<ReadWatch> watch;
  // A callback holds a weak copy: expired once a handler has destroyed the port.
  std::shared_ptr<int> alive = std::make_shared<int>(0);
  unsigned long generation = 0;  // changes at every open and close

  bool isOpen() const { return port != INVALID_HANDLE_VALUE; }
  bool usable() const { return isOpen() && !hung_up; }
  bool fail(std::string why) {
    last_error = std::move(why);
    return false;
  }

  bool open(const std::string& name, int speed_baud);
  bool configure(int speed_baud);
  void close();
  void markHungUp(DWORD error);
  bool queueStatus(COMSTAT& status);
  std::size_t settle();
  bool arm();
  void completeWait(bool block);
  void cancelWait();
  void updateWatch();
  void onReadable();
  Bytes readAll();
  bool write(const Bytes& bytes);
  // Waits for an overlapped read or write within the bound; false when it did not finish.
  bool finish(OVERLAPPED& overlapped, BOOL started, DWORD wait_ms, DWORD& transferred);
};

// The port's name in the session's namespace of kernel objects: a second holder finds it.
// The system keeps a COM port to one opener already; Wine's ports, on pseudo-terminals, do not.
std::wstring ClaimName(const std::string& name) {
  const std::size_t com = name.rfind("COM");
  return L"Global\\TMVVelka.Port." + win32::Widen(name.substr(com == std::string::npos ? 0 : com));
}

bool Win32SerialPort::Impl::open(const std::string& name, int speed_baud) {
  close();
  if (!rx_event || !io_event) return fail("no event objects for " + name);
  claim = ::CreateMutexW(nullptr, FALSE, ClaimName(name).c_str());
  if (!claim || ::GetLastError() == ERROR_ALREADY_EXISTS) {
    if (claim) ::CloseHandle(claim);
    claim = nullptr;
    return fail("port in use: " + name);
  }
  HANDLE opened = ::CreateFileW(win32::Widen(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (opened == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    close();
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
      return fail("port in use: " + name);
    }
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      return fail("no such port: " + name);
    }
    return fail("cannot open " + name + ": " + win32::ErrorText(error));
  }
  port = opened;
  device = name;
  if (!configure(speed_baud)) {
    const std::string why = last_error;
    close();
    return fail(why);
  }
  baud = speed_baud;
  threshold = 0;
  hung_up = false;
  line_errors = 0;
  last_error.clear();
  ++generation;
  settle();
  updateWatch();
  return true;
}

bool Win32SerialPort::Impl::configure(int speed_baud) {
  ::SetupComm(port, kQueueBytes, kQueueBytes);  // a request only: the driver may keep its own
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!::GetCommState(port, &dcb)) {
    return fail(device + " is not a serial port: " + win32::ErrorText(::GetLastError()));
  }
  dcb.BaudRate = static_cast<DWORD>(speed_baud);
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDtrControl = DTR_CONTROL_DISABLE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;  // NUL bytes are data
  dcb.fRtsControl = RTS_CONTROL_DISABLE;
  dcb.fAbortOnError = FALSE;
  if (speed_baud <= 0 || !::SetCommState(port, &dcb)) {
    return fail("speed " + std::to_string(speed_baud) + " is not supported by " + device);
  }
  // A read returns at once with whatever has arrived; writes have no driver time-out (the
  // port bounds them itself).
  COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
  if (!::SetCommTimeouts(port, &timeouts)) {
    return fail("cannot set the time-outs of " + device + ": " +
                win32::ErrorText(::GetLastError()));
  }
  ::PurgeComm(port, PURGE_RXCLEAR | PURGE_RXABORT);
  if (!::SetCommMask(port, EV_RXCHAR | EV_ERR | EV_BREAK)) {
    return fail("cannot watch " + device + ": " + win32::ErrorText(::GetLastError()));
  }
  return true;
}

void Win32SerialPort::Impl::close() {
  watch.reset();
  if (isOpen()) {
    cancelWait();
    ::CloseHandle(port);
    ++generation;
  }
  port = INVALID_HANDLE_VALUE;
  if (claim) ::CloseHandle(claim);
  claim = nullptr;
  hung_up = false;
  threshold = 0;
  if (rx_event) ::ResetEvent(rx_event);
}

void Win32SerialPort::Impl::markHungUp(DWORD error) {
  if (hung_up) return;
  hung_up = true;
  last_error = "device hung up: " + device + " (" + win32::ErrorText(error) + ")";
  cancelWait();
  ::ResetEvent(rx_event);  // nothing will arrive: the loop must not wake for it
  if (watch) watch->setEnabled(false);
}

bool Win32SerialPort::Impl::queueStatus(COMSTAT& status) {
  DWORD errors = 0;
  status = COMSTAT{};
  if (!::ClearCommError(port, &errors, &status)) {
    const DWORD error = ::GetLastError();
    if (DeviceGone(error)) markHungUp(error);
    return false;
  }
  line_errors |= errors;
  return true;
}

// Completes a receive wait that has ended; with block, waits for one being cancelled.
void Win32SerialPort::Impl::completeWait(bool block) {
  if (!wait_pending) return;
  DWORD ignored = 0;
  if (::GetOverlappedResult(port, &wait_overlapped, &ignored, block ? TRUE : FALSE)) {
    wait_pending = false;
    return;
  }
  const DWORD error = ::GetLastError();
  if (error == ERROR_IO_INCOMPLETE) return;
  wait_pending = false;
  if (DeviceGone(error) && error != ERROR_OPERATION_ABORTED) markHungUp(error);
}

void Win32SerialPort::Impl::cancelWait() {
  if (!wait_pending) return;
  ::CancelIoEx(port, &wait_overlapped);
  completeWait(true);
  wait_pending = false;
}

// Starts a receive wait with the event reset; false when it ended at once.
bool Win32SerialPort::Impl::arm() {
  ::ResetEvent(rx_event);
  wait_overlapped = OVERLAPPED{};
  wait_overlapped.hEvent = rx_event;
  wait_mask = 0;
  if (::WaitCommEvent(port, &wait_mask, &wait_overlapped)) return false;
  const DWORD error = ::GetLastError();
  if (error == ERROR_IO_PENDING) {
    wait_pending = true;
    return true;
  }
  if (DeviceGone(error)) markHungUp(error);
  return false;
}

// Makes the readiness event tell whether received bytes wait: set when they do, else reset
// with a receive wait pending that will set it. Returns the bytes waiting.
std::size_t Win32SerialPort::Impl::settle() {
  if (!usable()) return 0;
  completeWait(false);
  for (int attempt = 0; attempt < kArmAttempts && usable(); ++attempt) {
    COMSTAT status{};
    if (!queueStatus(status)) return 0;
    if (status.cbInQue > 0) {
      // Bytes wait: readable. A wait still pending might never end for bytes already
      // queued, so it is withdrawn and armed again once the input is empty.
      cancelWait();
      ::SetEvent(rx_event);
      return status.cbInQue;
    }
    if (wait_pending || arm()) {
      // Bytes may have come between the look at the queue and the wait: look again.
      if (!queueStatus(status)) return 0;
      if (status.cbInQue == 0) return 0;
      cancelWait();
      ::SetEvent(rx_event);
      return status.cbInQue;
    }
  }
  return 0;
}

void Win32SerialPort::Impl::updateWatch() {
  const bool wanted = usable() && threshold >= 1 && handler;
  if (wanted && !watch) watch = loop.watchReadable(rx_event, [this] { onReadable(); });
  if (watch) watch->setEnabled(wanted);
}

void Win32SerialPort::Impl::onReadable() {
  const std::weak_ptr<int> still_alive = alive;
  const unsigned long opened = generation;
  const std::size_t waiting = settle();
  if (!usable() || !handler) return;
  const std::vector<int> codes = LineErrorCodes(std::exchange(line_errors, 0));
  for (int code : codes) {
    auto call = handler;  // the handler may replace itself
    call(code);
    if (still_alive.expired() || generation != opened || !usable() || !handler) return;
  }
  if (waiting > 0 && threshold >= 1) {
    auto call = handler;
    call(kCommEventReceive);
  }
}

bool Win32SerialPort::Impl::finish(OVERLAPPED& overlapped, BOOL started, DWORD wait_ms,
                                   DWORD& transferred) {
  if (!started) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING) {
      if (DeviceGone(error)) markHungUp(error);
      return fail("I/O on " + device + " failed: " + win32::ErrorText(error));
    }
    if (::WaitForSingleObject(overlapped.hEvent, wait_ms) != WAIT_OBJECT_0) {
      ::CancelIoEx(port, &overlapped);
      ::GetOverlappedResult(port, &overlapped, &transferred, TRUE);
      return fail("I/O on " + device + " timed out");
    }
  }
  if (!::GetOverlappedResult(port, &overlapped, &transferred, FALSE)) {
    const DWORD error = ::GetLastError();
    if (DeviceGone(error)) markHungUp(error);
    return fail("I/O on " + device + " failed: " + win32::ErrorText(error));
  }
  return true;
}

Bytes Win32SerialPort::Impl::readAll() {
  Bytes out;
  if (!usable()) return out;
  std::uint8_t buffer[kReadChunk];
  while (out.size() < kReadLimit) {
    // Only what is queued is asked for: a read for more may wait for it (Wine's ports do).
    COMSTAT status{};
    if (!queueStatus(status) || status.cbInQue == 0) break;
    const auto want = static_cast<DWORD>(
        std::min<std::size_t>({kReadChunk, kReadLimit - out.size(), status.cbInQue}));
    OVERLAPPED overlapped{};
    overlapped.hEvent = io_event;
    ::ResetEvent(io_event);
    DWORD got = 0;
    const BOOL done = ::ReadFile(port, buffer, want, &got, &overlapped);
    if (!finish(overlapped, done, kReadWaitMs, got) || got == 0) break;
    out.insert(out.end(), buffer, buffer + got);
  }
  settle();
  return out;
}

bool Win32SerialPort::Impl::write(const Bytes& bytes) {
  if (!isOpen()) return fail("port not open");
  if (hung_up) return fail(last_error);
  if (bytes.empty()) return true;
  OVERLAPPED overlapped{};
  overlapped.hEvent = io_event;
  ::ResetEvent(io_event);
  DWORD written = 0;
  const BOOL done =
      ::WriteFile(port, bytes.data(), static_cast<DWORD>(bytes.size()), &written, &overlapped);
  if (!finish(overlapped, done, kWriteWaitMs, written)) return false;
  if (written != bytes.size()) return fail("write to " + device + " cut short");
  return true;
}

Win32SerialPort::Win32SerialPort(EventLoop& loop) : impl_(std::make_unique<Impl>(loop)) {}
Win32SerialPort::~Win32SerialPort() = default;

std::string Win32SerialPort::DeviceNameForPort(int port_number) {
  if (port_number < 1) return "";
  return "\\\\.\\COM" + std::to_string(port_number);
}

bool Win32SerialPort::open(int port_number, int baud) {
  if (port_number < 1) {
    impl_->close();
    return impl_->fail("port number " + std::to_string(port_number) + " is not valid");
  }
  return impl_->open(DeviceNameForPort(port_number), baud);
}

void Win32SerialPort::close() {
  impl_->close();
}
bool Win32SerialPort::isOpen() const {
  return impl_->isOpen();
}
std::string Win32SerialPort::lastError() const {
  return impl_->last_error;
}
std::size_t Win32SerialPort::bytesWaiting() {
  return impl_->settle();
}
Bytes Win32SerialPort::readAll() {
  return impl_->readAll();
}
bool Win32SerialPort::write(const Bytes& bytes) {
  return impl_->write(bytes);
}

void Win32SerialPort::discardInput() {
  // Input only: purging output would drop bytes the other side has not read yet.
  if (!impl_->usable()) return;
  ::PurgeComm(impl_->port, PURGE_RXCLEAR);
  impl_->settle();
}

std::size_t Win32SerialPort::outputPending() {
  COMSTAT status{};
  if (!impl_->usable() || !impl_->queueStatus(status)) return 0;
  return status.cbOutQue;
}

void Win32SerialPort::setReceiveThreshold(int threshold) {
  impl_->threshold = threshold;
  impl_->updateWatch();
}

int Win32SerialPort::receiveThreshold() const {
  return impl_->threshold;
}

bool Win32SerialPort::cts() {
  if (!impl_->usable()) return false;
  DWORD status = 0;
  // A port without modem-status lines (Wine's pseudo-terminal ports) cannot tell: asserted.
  if (!::GetCommModemStatus(impl_->port, &status)) return true;
  return (status & MS_CTS_ON) != 0;
}

void Win32SerialPort::clearLineErrors() {
  COMSTAT status{};
  if (impl_->usable()) impl_->queueStatus(status);
  impl_->line_errors = 0;
}

bool Win32SerialPort::hungUp() const {
  return impl_->hung_up;
}

NativeHandle Win32SerialPort::readinessHandle() const {
  return impl_->usable() ? impl_->rx_event : kNoHandle;
}

void Win32SerialPort::setEventHandler(std::function<void(int code)> handler) {
  impl_->handler = std::move(handler);
  impl_->updateWatch();
}

int Win32SerialPort::baud() const {
  return impl_->baud;
}

SerialPortFactory Win32SerialPortFactory() {
  return [](EventLoop& loop) -> std::unique_ptr<SerialPort> {
    return std::make_unique<Win32SerialPort>(loop);
  };
}

}  // namespace velka
