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
  void hangUp();                   // the device goes away
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
  std::unique_ptr<ReadWatch> watch_;
};

// A register played on a ScriptedPort. Every frame the control writes is parsed and answered
// with the next reply of the script, or with the standing reply once the script has run out
// (none: silence). The single bytes the control sends between frames (ACK, NACK) are recorded.
// The answer frames are built here with a block check of their own, independent of the
// control's codec.
class ScriptedRegister {
 public:
  struct Send {
    Millis delay_ms;  // after the frame was written
    Bytes bytes;
  };
  using Reply = std::vector<Send>;

  explicit ScriptedRegister(ScriptedPort& port);
  ~ScriptedRegister();

  // The reply to the next frame not yet answered.
  ScriptedRegister& then(Reply reply);
  // The reply to every frame beyond the script.
  ScriptedRegister& always(Reply reply);

  // Texts of the frames received, in order.
  const std::vector<std::string>& commands() const { return commands_; }
  // Virtual times at which the frames were written.
  const std::vector<Millis>& frameTimes() const { return frame_times_; }
  // Single bytes the control sent outside frames.
  const Bytes& replyBytes() const { return reply_bytes_; }

  // Builders of what a register sends.
  // STX "01" length "N" data sequence-digit check ETX, the check in upper-case hexadecimal.
  static Bytes Frame(std::string_view data, char sequence = '0');
  // A 21-byte "O" status answer with the given characters at s + 13, s + 14 and s + 15.
  static Bytes Status(char s13 = '0', char s14 = '1', char s15 = '0');
  // A 21-byte "E" status answer: condition letter, four-digit error number, and whether the
  // register reports again when the condition is cleared ("1" at s + 15).
  static Bytes ErrorStatus(char condition, std::string_view number, bool reports_again = false);
  static Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }
  static Bytes Join(std::initializer_list<Bytes> parts);
  // ACK at once, then the answer after answer_after_ms.
  static Reply AckThen(const Bytes& answer, Millis answer_after_ms = 20);
  static Reply Only(const Bytes& bytes, Millis after_ms = 5) { return {{after_ms, bytes}}; }

 private:
  void onWrite(const Bytes& written);

  ScriptedPort& port_;
  std::deque<Reply> script_;
  Reply standing_;
  std::vector<std::string> commands_;
  std::vector<Millis> frame_times_;
  Bytes reply_bytes_;
};

}  // namespace velka
