#pragma once
// What the register link needs of a serial port, and nothing more.
//
// Implementations: one per system (termios on POSIX, platform/posix/posix_serial_port.*),
// chosen by SystemSerialPortFactory() (platform/system_factory.h), and the scripted port of
// the tests (tests/support/scripted_port.*), driven by VirtualEventLoop.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/native_handle.h"

namespace velka {

class EventLoop;

using Bytes = std::vector<std::uint8_t>;

// Codes of the port's event, as the link knows them.
enum CommEventCode : int {
  kCommEventReceive = 2,
  kCommEventCts = 3,
  kCommEventDsr = 4,
  kCommEventRing = 6,
  kCommErrorBreak = 1001,
  kCommErrorCtsTimeout = 1002,
  kCommErrorDsrTimeout = 1003,
  kCommErrorFrame = 1004,
  kCommErrorOverrun = 1006,
  kCommErrorCdTimeout = 1007,
  kCommErrorRxOver = 1008,
  kCommErrorRxParity = 1009,
  kCommErrorTxFull = 1010,
  kCommErrorDcb = 1011,
};

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Opens port number port_number (1 is the first port) at the given speed with 8 data bits,
  // no parity, 1 stop bit, no flow control, DTR and RTS off, raw bytes and non-blocking
  // reads; the receive threshold starts at 0. Port 0 and negative numbers fail. The device is
  // taken for exclusive use: a second program opening the same device fails. On failure
  // returns false and lastError() says why.
  virtual bool open(int port_number, int baud) = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  virtual std::string lastError() const = 0;

  // Received bytes waiting to be read.
  virtual std::size_t bytesWaiting() = 0;
  // Takes every byte waiting (possibly none).
  virtual Bytes readAll() = 0;
  // Queues bytes for sending; false when the port is closed or the device failed.
  virtual bool write(const Bytes& bytes) = 0;
  // Throws away the received bytes waiting. Written bytes are never discarded: a discard of
  // output would drop the control's own replies and frames the register has not read yet.
  virtual void discardInput() = 0;
  // Bytes written that have not yet left the port (0 where the device cannot tell).
  virtual std::size_t outputPending() = 0;

  // 0: no receive events; 1: a receive event as soon as a byte is waiting.
  virtual void setReceiveThreshold(int threshold) = 0;
  virtual int receiveThreshold() const = 0;

  // Clear-to-send input; a device without modem-status lines counts as asserted.
  virtual bool cts() = 0;
  // Clears the line-error state (framing, parity, overrun ...).
  virtual void clearLineErrors() = 0;

  // True once the device has hung up (adapter pulled out, other end of a pseudo-terminal
  // closed). Reads then return nothing and writes fail until the port is closed and opened.
  virtual bool hungUp() const = 0;

  // A handle that becomes readable when bytes arrive, for the event loop's blocking step;
  // kNoHandle when the port is closed or hung up.
  virtual NativeHandle readinessHandle() const = 0;

  // Handler of the port's events: kCommEventReceive while the threshold is 1 and bytes are
  // waiting, the line-error codes when the device reports one. Called from the event loop.
  virtual void setEventHandler(std::function<void(int code)> handler) = 0;

  // Called once from the event loop when the device hangs up while the port is open, also
  // while nobody reads it, so that an idle owner learns at once that its port has gone (it
  // then closes the port and opens it again when the device is back). A hang-up that a read,
  // a write or a look at the port meets first shows in hungUp() only. The default port tells
  // nothing: its owner learns of the hang-up at its next exchange.
  virtual void setHangUpHandler(std::function<void()> handler) { (void)handler; }

  // Line speed given to open(), in bits per second.
  virtual int baud() const = 0;
};

// Creates the port a control uses, on the control's event loop.
using SerialPortFactory = std::function<std::unique_ptr<SerialPort>(EventLoop& loop)>;

}  // namespace velka
