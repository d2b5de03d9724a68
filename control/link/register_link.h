#pragma once
// The register link of one control: the command exchange, answer reception, data lines, the
// link's timers and (in asynchronous mode) the port events and the queue pump. It works on
// the control's members (ControlState) and raises the control's events.
#include <cstdint>
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
  // false, else queued. Command texts are single-byte.
  std::int32_t SendCommand(std::string_view command, bool ForceSync);
  // One complete transmission (up to three attempts, then the answer or the hand-off).
  std::int32_t TransmitCommand(std::string_view command, bool ForceSync);
  // Completes, checks and evaluates one answer frame in ReceiveBuffer.
  std::int32_t ReceiveAnswer(bool ForceSync);
  // Delivers a stream of data lines and returns the closing frame (empty after silence).
  Bytes ReceiveDataLines(const Bytes& received);

  Timer& tmrTimeout() { return *tmrTimeout_; }
  Timer& tmrData() { return *tmrData_; }
  Timer& tmrAvvio() { return *tmrAvvio_; }

  struct Impl;

 private:
  ControlState& state_;
  EventLoop& loop_;
  SerialPort& port_;
  TraceWriter& trace_;
  std::unique_ptr<Timer> tmrTimeout_;
  std::unique_ptr<Timer> tmrData_;
  std::unique_ptr<Timer> tmrAvvio_;
};

}  // namespace velka
