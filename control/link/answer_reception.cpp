// ReceiveAnswer: completing, checking and evaluating one answer of the register, and the
// clearing wait of an error status that the register promises to report again.
//
// The verdict byte (ReplyByte) is decided and traced for every answer but never sent. The
// registers in use expect nothing after an answer: a byte sent now would arrive in front of
// their next frame. A refused answer is waited for again (up to three waits) without sending
// the command again, so the trace still names the NACK the control decided on.
#include "automation/result_codes.h"
#include "control/core/control_events.h"
#include "control/core/control_state.h"
#include "control/core/trace_writer.h"
#include "control/link/answer_judgement.h"
#include "control/link/frame_codec.h"
#include "control/link/link_limits.h"
#include "control/link/register_link.h"
#include "platform/single_byte_text.h"

namespace velka {

namespace {

bool EndsWithEtx(const Bytes& bytes) {
  return !bytes.empty() && bytes.back() == link::ETX;
}

}  // namespace

std::int32_t RegisterLink::ReceiveAnswer(bool ForceSync) {
  return TakeAnswer(ForceSync).result;
}

RegisterLink::AnswerOutcome RegisterLink::TakeAnswer(bool ForceSync) {
  port_.setReceiveThreshold(0);  // no receive events while the answer is evaluated
  Bytes& buffer = state_.ReceiveBuffer;
  const Millis deadline = StartTimeout(link::kAnswerCompletionMs);
  if (!EndsWithEtx(buffer) && buffer.size() <= link::kMaxFrameBuffer) {
    Wait(
        [&] {
          if (port_.bytesWaiting() == 0) return false;
          const Bytes more = port_.readAll();
          buffer.insert(buffer.end(), more.begin(), more.end());
          return (buffer.size() >= 2 && buffer.back() == link::ETX) ||
                 buffer.size() > link::kMaxFrameBuffer;
        },
        deadline);
    trace_.received(" - Ricevuto " + link::FrameText(buffer));
  }
  StopTimeout();

  if (state_.TimeoutElapsed) {
    Refuse(" - Risposta TIMEOUT= NACK");
    return {FinishAnswer(result::Timeout)};
  }
  const link::AnswerJudgement answer = link::JudgeAnswer(buffer);
  if (answer.verdict == link::AnswerVerdict::FramingFault) {
    Refuse(" - Risposta FRAME KO= NACK");
    return {FinishAnswer(result::AnswerRefused)};
  }
  if (answer.verdict == link::AnswerVerdict::BlockCheckFault) {
    Refuse(" - Risposta BCC KO= NACK");
    return {FinishAnswer(result::AnswerRefused)};
  }

  reply_byte_ = link::ACK;
  trace_.received(" - Ricevuto DATA ANSW " + link::FrameText(buffer));
  AnswerOutcome outcome{result::Success};
  switch (answer.kind) {
    case link::AnswerKind::Status:
      if (answer.printer_state) state_.PrinterState = *answer.printer_state;
      if (answer.further_answer) outcome.result = result::FurtherAnswer;
      break;
    case link::AnswerKind::ErrorStatus:
      outcome = EvaluateErrorStatus(answer.condition, answer.error_number, ForceSync);
      if (answer.reports_when_cleared) outcome.result = ClearingWait(outcome.result);
      break;
    case link::AnswerKind::DataLine:
    case link::AnswerKind::Data:
      state_.AnswerData = answer.data;
      if (!answer.data_complete) {
        Refuse(" - Risposta DRIVER KO= NACK");
        outcome.result = result::AnswerRefused;
      } else if (answer.kind == link::AnswerKind::DataLine) {
        state_.DataMode = true;
        if (state_.events) state_.events->ReceiveDataEvent(FromSingleByte(state_.AnswerData));
        outcome.result = result::FurtherAnswer;
      }
      break;
  }
  outcome.result = FinishAnswer(outcome.result);
  return outcome;
}

void RegisterLink::Refuse(std::string_view trace_message) {
  reply_byte_ = link::NACK;
  trace_.received(trace_message);
}

// When a further answer follows, bytes already waiting belong to it and are kept: the
// register does not wait for the control between the two, so discarding them would lose it.
std::int32_t RegisterLink::FinishAnswer(std::int32_t outcome) {
  if (outcome != result::FurtherAnswer) port_.discardInput();
  state_.ReceiveBuffer.clear();
  return outcome;
}

// An error status of a queued command that is no condition of the printer is reported to the
// host through ErrorEvent here, once; the outcome says so, and whether the host's 12 passed
// the entry over, so that receive completion neither reports it again nor completes it.
RegisterLink::AnswerOutcome RegisterLink::EvaluateErrorStatus(std::uint8_t condition,
                                                              std::int32_t error_number,
                                                              bool ForceSync) {
  AnswerOutcome outcome;
  std::int32_t ErrorResponse = kErrorResponseClear;
  const bool queued = !ForceSync && state_.AsyncMode;
  if (queued) state_.ErrorOutID = NumberAtQueueNext();
  state_.ResultCode = result::Extended;

  const link::ErrorCondition meaning = link::ErrorConditionOf(condition, error_number);
  if (meaning.by_error_number) state_.ResultCodeExtended = error_number;
  if (meaning.status) {
    RaiseStatusUpdate(*meaning.status);
    state_.ResultCodeExtended = meaning.extended;
  } else if (queued) {
    outcome.report = QueuedErrorReport::Reported;
    const unsigned generation = queue_generation_;
    RaiseErrorEvent(ErrorResponse);
    if (ErrorResponse == kErrorResponseClear) {
      outcome.report = QueuedErrorReport::EntrySkipped;
      // Unless the host emptied the queue and began another from its handler.
      if (generation == queue_generation_) ++state_.QueueNext;
      state_.ResultCode = result::Success;
      state_.ResultCodeExtended = 0;
    }
  }
  outcome.result = state_.ResultCode;
  return outcome;
}

// The register reports the condition again once it is cleared. Its error statuses meanwhile
// are taken as "still in error"; its "O" status with "0" at s + 15 as cleared. The wait is
// bounded by the operator wait for a cover left open or paper run out (the operator has to act
// at the register), by kClearingWaitMs for error 105: after that the call fails as the
// condition left it (114, with the condition in ResultCodeExtended) and the trace says so. The
// register still holds the command then, and carries it out once the condition is cleared.
std::int32_t RegisterLink::ClearingWait(std::int32_t outcome) {
  port_.discardInput();
  state_.ReceiveBuffer.clear();
  Bytes collection;
  bool cleared = false;
  const bool operator_condition = state_.ResultCodeExtended == extended::CoverOpen ||
                                  state_.ResultCodeExtended == extended::PaperOut;
  const Millis deadline =
      StartTimeout(operator_condition ? operator_wait_ms_ : link::kClearingWaitMs);
  Wait(
      [&] {
        if (port_.bytesWaiting() > 0) {
          const Bytes more = port_.readAll();
          collection.insert(collection.end(), more.begin(), more.end());
        }
        if (!link::IsCompleteClearingAnswer(collection)) {
          if (collection.size() > link::kMaxFrameBuffer) collection.clear();  // noise
          return false;
        }
        const Bytes answer = std::move(collection);
        collection.clear();
        trace_.received(" - Ricevuto " + link::FrameText(answer));
        switch (link::JudgeClearingAnswer(answer)) {
          case link::ClearingAnswer::Cleared:
            RaiseStatusUpdate(link::ClearedStatusOf(state_.ResultCodeExtended));
            state_.ResultCodeExtended = 0;
            state_.ResultCode = result::Success;
            cleared = true;
            return true;
          case link::ClearingAnswer::StillInError:
            reply_byte_ = link::ACK;
            port_.discardInput();
            return false;
          case link::ClearingAnswer::Other:
            return false;
        }
        return false;
      },
      deadline);
  StopTimeout();
  if (cleared) return result::Success;
  trace_.sent(" - Attesa ripristino TIMEOUT");
  return outcome;
}

}  // namespace velka
