// The queue pump: each tick of tmrAvvio takes the entry at QueueNext. An error entry is
// reported to the host; a command entry is transmitted and, once acknowledged, left to the
// receive event for its answer. The pump is held while an answer is awaited or evaluated,
// so an entry is never sent again while its answer may still come.
#include <string>

#include "automation/result_codes.h"
#include "control/core/control_events.h"
#include "control/core/control_state.h"
#include "control/link/queue_entry.h"
#include "control/link/register_link.h"

namespace velka {

RegisterLink::QueueState RegisterLink::queueState() const {
  if (state_.QueueLast < 0) return QueueState::Empty;
  if (completing_ || AnswerAwaited()) return QueueState::AwaitingAnswer;
  if (tmrAvvio_->isActive()) return QueueState::Waiting;
  return QueueState::Halted;
}

void RegisterLink::tmrAvvio_Timer() {
  tmrAvvio_->stop();
  // Receive completion or the data timer moves the queue on once the answer is in.
  if (completing_ || AnswerAwaited()) return;
  const std::string* at_next = EntryAtQueueNext();
  if (!at_next) return;
  const std::string entry = *at_next;  // the host's handlers may change the queue
  if (link::QueuedErrorOf(entry)) {
    ReportErrorEntry(entry);
  } else {
    TransmitEntry(entry);
  }
}

// The host learns of the error in its turn. Clearing it (12) passes the entry over; any other
// response has it reported again at the next tick.
void RegisterLink::ReportErrorEntry(const std::string& entry) {
  const link::QueuedError error = *link::QueuedErrorOf(entry);
  std::int32_t ErrorResponse = kErrorResponseClear;
  state_.ErrorOutID = link::QueueEntryNumber(entry);
  state_.ResultCode = error.result_code;
  state_.ResultCodeExtended = error.extended;
  const unsigned generation = queue_generation_;
  RaiseErrorEvent(ErrorResponse);
  if (generation != queue_generation_) {
    RestartPumpIfEntriesRemain();  // the host began another queue meanwhile
  } else if (ErrorResponse == kErrorResponseClear) {
    SkipEntry();
  } else {
    tmrAvvio_->start();
  }
}

// A command acknowledged by the register awaits its answer, unless the answer came in the same
// read as the acknowledgement: no byte is then left to raise a receive event, so it is
// evaluated now. A command that has no answer to wait for ("V" frames, or one sent while
// asynchronous mode was switched off) is complete once sent. A transmission that fails is
// reported; the host's 12 passes the entry over, anything else has it sent again at the next
// tick, unless the port has gone (closed or hung up): the queue then halts at the entry and
// the next command queued tries again.
void RegisterLink::TransmitEntry(const std::string& entry) {
  const std::int32_t number = link::QueueEntryNumber(entry);
  const Transmission sent = Transmit(link::QueueEntryCommand(entry), false);
  if (sent.result == result::Success) {
    switch (sent.answer) {
      case AnswerAfterSending::None:
        CompleteEntry();
        break;
      case AnswerAfterSending::Awaited:
        break;
      case AnswerAfterSending::AlreadyHeld:
        ReceiveCompletion();
        break;
    }
    return;
  }
  NoteIfPortGone();
  state_.ResultCode = sent.result;
  state_.ErrorOutID = number;
  std::int32_t ErrorResponse = 0;
  const unsigned generation = queue_generation_;
  RaiseErrorEvent(ErrorResponse);
  if (generation != queue_generation_) {
    RestartPumpIfEntriesRemain();
  } else if (ErrorResponse == kErrorResponseClear) {
    SkipEntry();
  } else if (!PortGone()) {
    tmrAvvio_->start();
  }
}

const std::string* RegisterLink::EntryAtQueueNext() const {
  const std::int32_t next = state_.QueueNext;
  if (state_.QueueLast < 0 || next < 0 || next > state_.QueueLast) return nullptr;
  if (static_cast<std::size_t>(next) >= state_.CommandQueue.size()) return nullptr;
  return &state_.CommandQueue[static_cast<std::size_t>(next)];
}

std::int32_t RegisterLink::NumberAtQueueNext() const {
  const std::string* entry = EntryAtQueueNext();
  return entry ? link::QueueEntryNumber(*entry) : 0;
}

// The entry at QueueNext has been carried out. Its number goes to the host and the queue moves
// on; once it has drained it is emptied before StatusUpdateEvent 1001 is raised, so a command
// that the host queues from that event begins the next queue instead of being lost.
void RegisterLink::CompleteEntry() {
  const std::string* entry = EntryAtQueueNext();
  if (!entry) return;
  const std::int32_t number = link::QueueEntryNumber(*entry);
  ++state_.QueueNext;
  if (state_.events) state_.events->OutputCompleteEvent(number);
  if (state_.QueueNext > state_.QueueLast) {
    state_.QueueLast = -1;
    state_.CommandQueue.assign(1, std::string());
    ++queue_generation_;
    RaiseStatusUpdate(status::Idle);
  }
  if (state_.QueueLast >= 0) tmrAvvio_->start();
}

// The host cleared the error of the entry at QueueNext: it is passed over and the entries
// behind it follow. When it was the last one the queue is left as it is, not emptied: the next
// command queued goes on with its numbering, and no 1001 is raised for it.
void RegisterLink::SkipEntry() {
  ++state_.QueueNext;
  state_.ResultCode = result::Success;
  state_.ResultCodeExtended = 0;
  RestartPumpIfEntriesRemain();
}

void RegisterLink::RestartPumpIfEntriesRemain() {
  if (EntryAtQueueNext()) tmrAvvio_->start();
}

}  // namespace velka
