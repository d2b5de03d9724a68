#pragma once
// A serial port whose other end is a test: the test states what the register sends and
// when, on virtual time, or reacts to each write of the control; and it can read back every
// byte the control wrote, with the time it was written.
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/serial_port.h"
#include "tests/support/virtual_event_loop.h"

namespace velka {

class ScriptedPort : public SerialPort, private VirtualSource {
 public:
  explicit ScriptedPort(VirtualEventLoop& loop);
  ~ScriptedPort() override;

  // SerialPort
  bool open(int port_number, int baud) override;
  void close() override;
  bool isOpen() const override { return open_; }
  std::string lastError() const override { return last_error_; }
  std::size_t bytesWaiting() override;
  Bytes readAll() override;
  bool write(const Bytes& bytes) override;
  void discardInput() override;
  std::size_t outputPending() override;
  void setReceiveThreshold(int threshold) override;
  int receiveThreshold() const override { return threshold_; }
  bool cts() override { return cts_; }
  void clearLineErrors() override { ++clear_line_errors_; }
  bool hungUp() const override { return hung_up_; }
  NativeHandle readinessHandle() const override;
  void setEventHandler(std::function<void(int code)> handler) override;
  void setHangUpHandler(std::function<void()> handler) override {
    hang_up_handler_ = std::move(handler);
  }
  int baud() const override { return baud_; }

  // The register's side.
  // Bytes that arrive delay_ms after now (in order with everything sent before).
  void sendAfter(Millis delay_ms, const Bytes& bytes);
  void sendAfter(Millis delay_ms, const std::string& bytes);
  // Called for every write of the control, at the virtual time it happened.
  void onWrite(std::function<void(const Bytes& written)> reaction);

  struct Written {
    Millis at;
    Bytes bytes;
  };
  const std::vector<Written>& written() const { return written_; }
  void clearWritten() { written_.clear(); }

  // Conditions a test can set.
  void setCts(bool asserted) { cts_ = asserted; }
  void failNextOpen(const std::string& why) { fail_open_ = why; }
  // The device goes away; an open port tells its hang-up handler at once, as a real port tells
  // it from the loop.
  void hangUp();
  void signalLineError(int code);  // raises the port event with a line-error code
  // Output takes this long to leave the port after each write (outputPending > 0 meanwhile,
  // falling in proportion to the time left).
  void setOutputDrainMs(Millis ms) { drain_ms_ = ms; }

  Millis now() const { return loop_.now(); }
  int openCount() const { return open_count_; }
  int lastPortNumber() const { return port_number_; }
  int clearLineErrorsCount() const { return clear_line_errors_; }

 private:
  bool readable(Millis now) const override;
  std::optional<Millis> nextReadyTime(Millis now) const override;
  void updateWatch();

  VirtualEventLoop& loop_;
  NativeHandle handle_;
  bool open_ = false;
  bool hung_up_ = false;
  bool cts_ = true;
  int threshold_ = 0;
  int baud_ = 0;
  int port_number_ = 0;
  int open_count_ = 0;
  int clear_line_errors_ = 0;
  Millis drain_ms_ = 0;
  Millis output_done_at_ = 0;
  Millis output_started_at_ = 0;
  std::size_t output_bytes_ = 0;  // bytes of the writes not yet drained
  std::string fail_open_;
  std::string last_error_;
  struct Arrival {
    Millis at;
    std::uint8_t byte;
  };
  std::deque<Arrival> incoming_;
  std::vector<Written> written_;
  std::function<void(const Bytes&)> reaction_;
  std::function<void(int)> handler_;
  std::function<void()> hang_up_handler_;
  std::unique_ptr<ReadWatch> watch_;
};

}  // namespace velka
