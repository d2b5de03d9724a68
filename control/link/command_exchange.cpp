// SendCommand and TransmitCommand: framing a command, sending it until the register
// acknowledges it, and waiting for its answer (or handing the answer to the receive event
// when the command was queued).
#include <string>
#include <utility>

#include "automation/result_codes.h"
#include "control/core/control_state.h"
#include "control/core/trace_writer.h"
#include "control/link/frame_codec.h"
#include "control/link/link_limits.h"
#include "control/link/queue_entry.h"
#include "control/link/register_link.h"

namespace velka {

namespace {

// The first line of a stream of data lines has 33, 32 or 25 characters: its CR LF stands
// right after them, behind the ACK.
constexpr std::size_t kDataLineCrOffsets[] = {34, 33, 26};

bool EndsFrame(const Bytes& bytes) {
  return bytes.size() >= 2 && bytes.back() == link::ETX;
}

bool StartsDataLines(const Bytes& buffer) {
  if (buffer.empty() || buffer[0] != link::ACK) return false;
  for (const std::size_t cr : kDataLineCrOffsets) {
    if (buffer.size() > cr + 1 && buffer[cr] == link::CR && buffer[cr + 1] == link::LF) {
      return true;
    }
  }
  return false;
}

Millis AckWaitFor(std::string_view command) {
  return command.starts_with(">c}") ? link::kLongAckWaitMs : link::kAckWaitMs;
}

}  // namespace

std::int32_t RegisterLink::SendCommand(std::string_view command, bool ForceSync) {
  if (command.size() > link::kMaxCommandLength) return result::NotAllowed;
  if (ForceSync || !state_.AsyncMode) return TransmitCommand(command, ForceSync);
  return QueueCommand(command);
}

std::int32_t RegisterLink::QueueCommand(std::string_view command) {
  tmrAvvio_->stop();
  if (state_.QueueLast == -1) {
    state_.QueueNext = 0;
    state_.OutputID = 0;
    state_.CommandQueue.assign(1, std::string());
    ++queue_generation_;
  } else {
    state_.CommandQueue.resize(static_cast<std::size_t>(state_.QueueLast) + 2);
  }
  ++state_.QueueLast;
  ++state_.OutputID;
  state_.CommandQueue[static_cast<std::size_t>(state_.QueueLast)] =
      link::QueueEntry(state_.OutputID, command);
  tmrAvvio_->start();
  return result::Success;
}

// A port found gone during the exchange is told of before its failure returns, so that the
// host knows why the command failed.
std::int32_t RegisterLink::TransmitCommand(std::string_view command, bool ForceSync) {
  const std::int32_t outcome = Transmit(command, ForceSync).result;
  if (outcome != result::Success) NoteIfPortGone();
  return outcome;
}

// While a queued command's answer is awaited the line is the register's: a frame sent now
// would meet that answer in place of its acknowledgement, and the answer would be lost.
RegisterLink::Transmission RegisterLink::Transmit(std::string_view command, bool ForceSync) {
  if (!state_.LinkFree || AnswerAwaited()) return {result::LinkBusy};
  if (command.size() > link::kMaxCommandLength) return {result::NotAllowed};
  state_.LinkFree = false;
  // A late answer left armed by the data timer must not be taken up inside this exchange.
  port_.setReceiveThreshold(0);

  const Bytes frame = link::BuildCommandFrame(command, state_.PackID);
  if (keep_sequence_digit_) keep_sequence_digit_(state_.PackID);
  if (link::IsVFrame(command)) {
    trace_.sent(" - Invio " + link::FrameText(frame));
    port_.discardInput();
    const bool written = port_.write(frame);
    state_.LinkFree = true;
    return {written ? result::Success : result::Timeout};
  }

  const bool acknowledged = AwaitAcknowledgement(frame, command);
  state_.DataMode = false;
  if (!acknowledged) {
    state_.LinkFree = true;
    return {result::Timeout};
  }
  if (!ForceSync && state_.AsyncMode) return {result::Success, HandOffToReceiveEvent(command)};
  const std::int32_t answer = AwaitAnswer(ForceSync);
  state_.LinkFree = true;
  return {answer};
}

// Up to three transmissions of the frame. The first byte the register sends back decides:
// ACK accepts the frame; anything else, or silence, counts as not acknowledged and is
// answered with NACK (ACK after the last attempt, so the register stops waiting for it).
bool RegisterLink::AwaitAcknowledgement(const Bytes& frame, std::string_view command) {
  for (int attempt = 1; attempt <= link::kTransmitAttempts; ++attempt) {
    trace_.sent(" - Invio " + link::FrameText(frame));
    // Only received bytes are discarded: output still on its way would be the control's own.
    port_.discardInput();
    if (!port_.write(frame)) return false;

    const Millis deadline = StartTimeout(AckWaitFor(command) + OutputTimeMs(frame.size()));
    Wait(
        [this] {
          if (port_.bytesWaiting() == 0) return false;
          state_.ReceiveBuffer = port_.readAll();
          return true;
        },
        deadline);
    StopTimeout();
    if (PortGone()) return false;

    if (state_.TimeoutElapsed) {
      trace_.sent(" - Invio COMANDO TIMEOUT " + std::to_string(attempt));
    } else {
      trace_.received(" - Ricevuto da Invio COMANDO " + link::FrameText(state_.ReceiveBuffer));
      if (!state_.ReceiveBuffer.empty() && state_.ReceiveBuffer[0] == link::ACK) return true;
    }

    const bool last = attempt == link::kTransmitAttempts;
    trace_.sent(last ? " - Invio COMANDO KO= ACK" : " - Invio COMANDO KO= NACK");
    port_.discardInput();
    port_.write(Bytes{last ? link::ACK : link::NACK});
  }
  return false;
}

// A queued command is acknowledged; its answer raises a receive event later, unless it came
// with the acknowledgement: then no byte is left to raise one.
RegisterLink::AnswerAfterSending RegisterLink::HandOffToReceiveEvent(std::string_view command) {
  answer_awaited_ = true;
  rejected_answers_ = 0;
  port_.setReceiveThreshold(1);
  state_.TimeoutElapsed = false;
  tmrData_->setInterval(command.find("=T4") != std::string_view::npos ? link::kLongQueuedAnswerMs
                                                                      : link::kQueuedAnswerMs);
  tmrData_->start();
  state_.LinkFree = true;
  return EndsFrame(state_.ReceiveBuffer) ? AnswerAfterSending::AlreadyHeld
                                         : AnswerAfterSending::Awaited;
}

// Up to three waits for the answer; the command is not sent again. Each wait collects until
// the bytes end with ETX, or until a stream of data lines shows, which ReceiveDataLines then
// takes over. A wait whose answer is refused (111) or missing (112) is followed by the next.
std::int32_t RegisterLink::AwaitAnswer(bool ForceSync) {
  Bytes last_read = state_.ReceiveBuffer;  // what came with the acknowledgement
  std::int32_t outcome = result::Timeout;
  for (int wait = 1; wait <= link::kAnswerWaits; ++wait) {
    const Millis deadline = StartTimeout(link::kAnswerWaitMs);
    bool data_lines = false;
    if (!EndsFrame(last_read)) {
      // What is already held is tested on the first pass too: a stream whose first line
      // came with the acknowledgement must not wait for a byte that never comes.
      bool first_pass = true;
      Wait(
          [&] {
            const bool fresh = port_.bytesWaiting() > 0;
            if (fresh) {
              last_read = port_.readAll();
              state_.ReceiveBuffer.insert(state_.ReceiveBuffer.end(), last_read.begin(),
                                          last_read.end());
            }
            const bool test = std::exchange(first_pass, false) || fresh;
            const Bytes& buffer = state_.ReceiveBuffer;
            if (test && buffer.size() >= 2) {
              if (StartsDataLines(buffer)) {
                data_lines = true;
                return true;
              }
              if (buffer.back() == link::ETX) return true;
              // Noise without ETX: answer reception refuses what has come.
              if (buffer.size() > link::kMaxFrameBuffer) return true;
            }
            // Once data lines have been met, a single pass picks up what has come since.
            return state_.DataMode;
          },
          deadline);
    }

    bool refused = false;
    if (data_lines) {
      state_.DataMode = true;
      DataLinesResult lines = ReceiveDataLines(state_.ReceiveBuffer);
      state_.ReceiveBuffer.insert(state_.ReceiveBuffer.end(), lines.frame.begin(),
                                  lines.frame.end());
      refused = lines.end == DataLinesEnd::Rejected;
    }
    StopTimeout();

    if (PortGone()) {
      outcome = result::Timeout;
      break;
    }
    if (refused) {
      outcome = result::AnswerRefused;
      state_.ReceiveBuffer.clear();
    } else if (state_.TimeoutElapsed) {
      outcome = result::Timeout;
    } else {
      do {
        outcome = ReceiveAnswer(ForceSync);
      } while (outcome == result::FurtherAnswer);
    }
    if (outcome != result::AnswerRefused && outcome != result::Timeout) break;
  }
  return outcome;
}

}  // namespace velka
