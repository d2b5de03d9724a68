// The port's events: the bytes of a queued command's answer, and line errors.
//
// Receive events fire only while the receive threshold is 1: the hand-off of a queued
// command sets it, and answer reception sets it back to 0 before it reads, so one answer is
// evaluated at a time. Line errors are cleared and reach neither the host nor the trace.
#include "automation/result_codes.h"
#include "control/core/control_state.h"
#include "control/link/link_limits.h"
#include "control/link/register_link.h"

namespace velka {

namespace {

// Raised for as long as a scope runs, whatever way it is left.
class RaisedFlag {
 public:
  explicit RaisedFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~RaisedFlag() { flag_ = false; }
  RaisedFlag(const RaisedFlag&) = delete;
  RaisedFlag& operator=(const RaisedFlag&) = delete;

 private:
  bool& flag_;
};

}  // namespace

void RegisterLink::OnComm(int code) {
  switch (code) {
    case kCommEventReceive:
      ReceiveCompletion();
      break;
    case kCommErrorBreak:
    case kCommErrorCtsTimeout:
    case kCommErrorDsrTimeout:
    case kCommErrorFrame:
    case kCommErrorOverrun:
    case kCommErrorCdTimeout:
    case kCommErrorRxOver:
    case kCommErrorRxParity:
    case kCommErrorTxFull:
    case kCommErrorDcb:
      port_.clearLineErrors();
      break;
    default:
      break;
  }
}

// From the hand-off until receive completion or the data timer takes the answer up, and only
// while the port that is to carry it stays open: closing or reopening resets the threshold.
bool RegisterLink::AnswerAwaited() const {
  return answer_awaited_ && !PortGone() && port_.receiveThreshold() == 1;
}

// Receive completion: the answer of the entry at QueueNext. The entry ends here once:
// completed, passed over by the host, or reported failed, each with one event. The pump is
// held while this runs, the host's handlers included, so nothing else is sent meanwhile.
void RegisterLink::ReceiveCompletion() {
  if (completing_ || !EntryAtQueueNext()) {
    // Only a handler could have armed the port again, or no entry is left to answer: what has
    // come waits for the next read.
    port_.setReceiveThreshold(0);
    return;
  }
  const RaisedFlag completing(completing_);
  answer_awaited_ = false;
  tmrTimeout_->stop();
  tmrData_->stop();

  AnswerOutcome answer;
  do {
    answer = TakeAnswer(false);
  } while (answer.result == result::FurtherAnswer);

  if (answer.result == result::AnswerRefused && ++rejected_answers_ < link::kAnswerWaits &&
      !PortGone()) {
    AwaitAnswerAgain();
  } else if (answer.result == result::Success) {
    if (answer.report == QueuedErrorReport::EntrySkipped) {
      RestartPumpIfEntriesRemain();
    } else {
      CompleteEntry();
    }
  } else if (answer.report == QueuedErrorReport::NotReported) {
    // A register error that answer reception reported through ErrorEvent is not reported
    // twice; its conditions (paper, cover, 105) it only raised as StatusUpdateEvent.
    state_.ResultCode = answer.result;
    state_.ErrorOutID = NumberAtQueueNext();
    std::int32_t ErrorResponse = 0;  // not examined: the queue halts at this entry
    RaiseErrorEvent(ErrorResponse);
  }
}

// A refused answer is waited for again, up to the number of waits of the synchronous
// exchange; the command is not sent again.
void RegisterLink::AwaitAnswerAgain() {
  port_.setReceiveThreshold(1);
  state_.TimeoutElapsed = false;
  tmrData_->start();
  answer_awaited_ = true;
}

}  // namespace velka
