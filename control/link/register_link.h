#pragma once
// The register link of one control: the command exchange, answer reception, data lines, the
// link's timers and (in asynchronous mode) the port events and the queue pump. It works on
// the control's members (ControlState) and raises the control's events.
//
// Every wait of the link lets pending events run and sleeps in the kernel (EventLoop::
// waitForEvents) until a byte arrives or a timer is due; each has a bound. A port that is
// closed or has hung up ends every wait at once. Event handlers may call back into the link
// (a transmission in progress answers 113) and may close the port.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/event_loop.h"
#include "platform/serial_port.h"

namespace velka {

struct ControlState;
class TraceWriter;

class RegisterLink {
 public:
  RegisterLink(ControlState& state, EventLoop& loop, SerialPort& port, TraceWriter& trace);
  ~RegisterLink();
  RegisterLink(const RegisterLink&) = delete;
  RegisterLink& operator=(const RegisterLink&) = delete;

  // The one entry of every command: synchronous when ForceSync is true or AsyncMode is
  // false, else queued. Command texts are single-byte; one longer than 999 characters is
  // refused with 106 and nothing is sent or queued.
  std::int32_t SendCommand(std::string_view command, bool ForceSync);
  // One complete transmission (up to three attempts, then the answer or the hand-off).
  std::int32_t TransmitCommand(std::string_view command, bool ForceSync);
  // Completes, checks and evaluates one answer frame in ReceiveBuffer.
  std::int32_t ReceiveAnswer(bool ForceSync);

  // How a stream of data lines ended.
  enum class DataLinesEnd {
    Frame,     // the closing frame arrived: `frame` holds it
    Silence,   // no byte for the gap limit: `frame` is empty and TimeoutElapsed is true
    Rejected,  // the closing frame or a line was too long: the answer is refused
  };
  struct DataLinesResult {
    DataLinesEnd end = DataLinesEnd::Silence;
    Bytes frame;
  };
  // Delivers a stream of data lines (ReceiveDataEvent, trace) and returns the closing frame.
  DataLinesResult ReceiveDataLines(const Bytes& received);

  // The verdict byte decided for the last answer judged (ACK or NACK); 0 before any.
  std::uint8_t ReplyByte() const { return reply_byte_; }

  Timer& tmrTimeout() { return *tmrTimeout_; }
  Timer& tmrData() { return *tmrData_; }
  Timer& tmrAvvio() { return *tmrAvvio_; }

 private:
  enum class WaitEnd { Done, TimedOut, PortGone };
  enum class WakeOn { PortBytes, OutputDrained };

  // register_link.cpp: timers and the one shape of every wait.
  WaitEnd Wait(const std::function<bool()>& done, Millis deadline_ms,
               WakeOn wake = WakeOn::PortBytes);
  Millis StartTimeout(Millis interval_ms);
  void StopTimeout();
  bool PortGone() const;
  void WaitForOutputDrain(std::size_t frame_bytes);
  Millis WireTimeMs(std::size_t bytes) const;
  void tmrTimeout_Timer();
  void tmrData_Timer();
  void tmrAvvio_Timer();
  void OnComm(int code);
  void RaiseStatusUpdate(std::int32_t status);

  // command_exchange.cpp
  std::int32_t QueueCommand(std::string_view command);
  bool AwaitAcknowledgement(const Bytes& frame, std::string_view command);
  std::int32_t AwaitAnswer(bool ForceSync);
  void HandOffToReceiveEvent(std::string_view command);

  // answer_reception.cpp
  std::int32_t EvaluateErrorStatus(std::uint8_t condition, std::int32_t error_number,
                                   bool ForceSync);
  std::int32_t ClearingWait(std::int32_t result);
  std::int32_t FinishAnswer(std::int32_t result);
  void Refuse(std::string_view trace_message);

  // data_lines.cpp
  void DeliverDataLine(std::string line);

  ControlState& state_;
  EventLoop& loop_;
  SerialPort& port_;
  TraceWriter& trace_;
  std::unique_ptr<Timer> tmrTimeout_;
  std::unique_ptr<Timer> tmrData_;
  std::unique_ptr<Timer> tmrAvvio_;
  std::uint8_t reply_byte_ = 0;
};

}  // namespace velka
