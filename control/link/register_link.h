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
  // One complete transmission (up to three attempts, then the answer or the hand-off); its
  // result code.
  std::int32_t TransmitCommand(std::string_view command, bool ForceSync);
  // Completes, checks and evaluates one answer frame in ReceiveBuffer; its result code.
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

  // The port has gone (the device hung up): StatusUpdateEvent with status::PortGone, once for
  // each time the port is opened. Raised when the port tells of it while nothing is exchanged,
  // and at the end of any exchange or entry check that met it, before its failure returns.
  void NoteIfPortGone();
  // The port has been opened: a hang-up from now on is told again.
  void PortOpened() { port_gone_told_ = false; }

  // Where the asynchronous queue stands.
  enum class QueueState {
    Empty,           // QueueLast is -1
    Waiting,         // entries to send, the pump running
    AwaitingAnswer,  // the entry at QueueNext is acknowledged; its answer raises a receive event
    Halted,          // after an error, or with nothing left: the next queued command restarts it
  };
  QueueState queueState() const;

  // The bound of the clearing wait for a condition the operator clears (cover open, paper
  // out); the wait for error 105 keeps link::kClearingWaitMs.
  void setOperatorWaitMs(Millis bound_ms) { operator_wait_ms_ = bound_ms; }
  // Called with the sequence digit of the next frame each time a frame has taken one, before
  // the frame is written to the port.
  void setSequenceDigitKeeper(std::function<void(std::int16_t next)> keeper) {
    keep_sequence_digit_ = std::move(keeper);
  }

  Timer& tmrTimeout() { return *tmrTimeout_; }
  Timer& tmrData() { return *tmrData_; }
  Timer& tmrAvvio() { return *tmrAvvio_; }

 private:
  enum class WaitEnd { Done, TimedOut, PortGone };

  // Where a transmission left the command's answer.
  enum class AnswerAfterSending {
    None,         // nothing to wait for: a "V" frame, an answer already evaluated, a failure
    Awaited,      // handed off: the receive event takes it up
    AlreadyHeld,  // handed off, but it came in the same read as the acknowledgement
  };
  struct Transmission {
    std::int32_t result = 0;
    AnswerAfterSending answer = AnswerAfterSending::None;
  };

  // Whether answer reception has told the host of an error status of a queued command.
  enum class QueuedErrorReport {
    NotReported,   // no ErrorEvent (no error, synchronous, or a condition for StatusUpdateEvent)
    Reported,      // ErrorEvent raised; the host kept the error
    EntrySkipped,  // ErrorEvent raised; the host cleared it and the entry was passed over
  };
  struct AnswerOutcome {
    std::int32_t result = 0;
    QueuedErrorReport report = QueuedErrorReport::NotReported;
  };

  // register_link.cpp: timers and the one shape of every wait.
  WaitEnd Wait(const std::function<bool()>& done, Millis deadline_ms);
  Millis StartTimeout(Millis interval_ms);
  void StopTimeout();
  bool PortGone() const;
  Millis OutputTimeMs(std::size_t frame_bytes);
  Millis WireTimeMs(std::size_t bytes) const;
  void RaiseStatusUpdate(std::int32_t status);
  // ErrorEvent with ResultCode, ResultCodeExtended and the output locus; the host may change
  // ErrorResponse.
  void RaiseErrorEvent(std::int32_t& ErrorResponse);

  // command_exchange.cpp
  std::int32_t QueueCommand(std::string_view command);
  Transmission Transmit(std::string_view command, bool ForceSync);
  bool AwaitAcknowledgement(const Bytes& frame, std::string_view command);
  std::int32_t AwaitAnswer(bool ForceSync);
  AnswerAfterSending HandOffToReceiveEvent(std::string_view command);

  // answer_reception.cpp
  AnswerOutcome TakeAnswer(bool ForceSync);
  AnswerOutcome EvaluateErrorStatus(std::uint8_t condition, std::int32_t error_number,
                                    bool ForceSync);
  std::int32_t ClearingWait(std::int32_t result);
  std::int32_t FinishAnswer(std::int32_t result);
  void Refuse(std::string_view trace_message);

  // data_lines.cpp
  void DeliverDataLine(std::string line);

  // link_timers.cpp
  void tmrTimeout_Timer();
  void tmrData_Timer();

  // port_events.cpp
  void OnComm(int code);
  void ReceiveCompletion();
  void AwaitAnswerAgain();
  bool AnswerAwaited() const;

  // queue_pump.cpp
  void tmrAvvio_Timer();
  void ReportErrorEntry(const std::string& entry);
  void TransmitEntry(const std::string& entry);
  const std::string* EntryAtQueueNext() const;
  std::int32_t NumberAtQueueNext() const;
  void CompleteEntry();
  void SkipEntry();
  void RestartPumpIfEntriesRemain();

  ControlState& state_;
  EventLoop& loop_;
  SerialPort& port_;
  TraceWriter& trace_;
  std::unique_ptr<Timer> tmrTimeout_;
  std::unique_ptr<Timer> tmrData_;
  std::unique_ptr<Timer> tmrAvvio_;
  std::uint8_t reply_byte_ = 0;
  Millis operator_wait_ms_;
  std::function<void(std::int16_t)> keep_sequence_digit_;
  bool port_gone_told_ = false;

  // Asynchronous mode.
  bool answer_awaited_ = false;  // set by the hand-off; see AnswerAwaited()
  bool completing_ = false;      // receive completion runs (its events included)
  int rejected_answers_ = 0;     // answers of the awaited entry refused so far
  // Counts the queues made afresh, so that a step taken after a host's handler ran can tell
  // whether the host emptied the queue and began another meanwhile.
  unsigned queue_generation_ = 0;
};

}  // namespace velka
