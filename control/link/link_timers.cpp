// The ticks of the time-out timer, which ends every wait of the link, and of the data timer,
// which limits the wait for the answer of a queued command.
#include "automation/result_codes.h"
#include "control/core/control_state.h"
#include "control/link/register_link.h"

namespace velka {

void RegisterLink::tmrTimeout_Timer() {
  tmrTimeout_->stop();
  state_.TimeoutElapsed = true;
}

// No answer to the entry at QueueNext in time: the host is told and the queue halts there.
// The receive threshold stays 1, so an answer that comes late still completes the entry; the
// next command queued sends the entry again. A port closed and opened again since the
// hand-off (its threshold back at 0) belongs to a later session: nothing of it is reported.
void RegisterLink::tmrData_Timer() {
  tmrData_->stop();
  if (!answer_awaited_) return;
  answer_awaited_ = false;
  const bool reopened = port_.isOpen() && port_.receiveThreshold() != 1;
  if (reopened) return;
  state_.ResultCode = result::Timeout;
  state_.ErrorOutID = NumberAtQueueNext();
  std::int32_t ErrorResponse = 0;  // not examined
  RaiseErrorEvent(ErrorResponse);
}

}  // namespace velka
