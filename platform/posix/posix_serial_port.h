#pragma once
// SerialPort on a POSIX terminal device: termios, non-blocking reads, TIOCMGET for CTS,
// TIOCEXCL and flock for exclusive use. The one serial port of the POSIX build.
//
// Port numbers map to devices through the ports folders (platform/port_map.h): com<N> in the
// user's "$XDG_CONFIG_HOME/TMV SPA/ports", else in the machine's "/etc/xdg/TMV SPA/ports", is a
// symbolic link, or a one-line text file, naming the device; without one port N is
// /dev/ttyS<N-1>.
#include <memory>
#include <string>

#include "platform/serial_port.h"

namespace velka {

class PosixSerialPort : public SerialPort {
 public:
  explicit PosixSerialPort(EventLoop& loop);
  ~PosixSerialPort() override;

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
  void setHangUpHandler(std::function<void()> handler) override;
  int baud() const override;

  // Opens a device by path instead of by port number (tests, tools).
  bool openDevice(const std::string& device_path, int baud);

  // The user's folder of the port links: ConfigHome() + "/TMV SPA/ports".
  static std::string PortsFolder();
  // The device of port N (LocatePort): the link or text file com<N> of the first ports folder
  // holding one, else /dev/ttyS<N-1>; empty for N < 1.
  static std::string DevicePathForPort(int port_number);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// The factory a control uses on a real machine.
SerialPortFactory PosixSerialPortFactory();

}  // namespace velka
