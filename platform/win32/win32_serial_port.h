#pragma once
// SerialPort on the Win32 communications functions: the port number is the COM port
// ("\\.\COM<N>"), opened for exclusive use with overlapped I/O. SetCommState gives the line
// settings (8 data bits, no parity, 1 stop bit, binary, NUL bytes kept, no flow control, DTR
// and RTS off), SetCommTimeouts makes a read return at once with what has arrived, CTS comes
// from GetCommModemStatus (a port that cannot tell, such as Wine's pseudo-terminal ports,
// counts as asserted), line errors from ClearCommError.
//
// Readiness: a manual-reset event that a pending WaitCommEvent (EV_RXCHAR) sets when bytes
// arrive. The port keeps it set while bytes wait and arms the wait again once the input is
// empty, so the loop sleeps on it level-triggered, as on a descriptor.
#include <memory>
#include <string>

#include "platform/serial_port.h"

namespace velka {

class Win32SerialPort : public SerialPort {
 public:
  explicit Win32SerialPort(EventLoop& loop);
  ~Win32SerialPort() override;

  bool open(int port_number, int baud) override;
  void close() override;
  bool isOpen() const override;
  std::string lastError() const override;
  std::size_t bytesWaiting() override;
  Bytes readAll() override;
  bool write(const Bytes& bytes) override;
  void discardInput() override;
  std::size_t outputPending() override;
  void setReceiveThreshold(int threshold) override;
  int receiveThreshold() const override;
  bool cts() override;
  void clearLineErrors() override;
  bool hungUp() const override;
  NativeHandle readinessHandle() const override;
  void setEventHandler(std::function<void(int code)> handler) override;
  int baud() const override;

  // The device name of port N, "\\.\COM<N>"; empty for N < 1.
  static std::string DeviceNameForPort(int port_number);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

SerialPortFactory Win32SerialPortFactory();

}  // namespace velka
