// How a receipt or non-fiscal method reports an argument or state error.
#include "automation/result_codes.h"
#include "control/core/control_state.h"
#include "control/device/tmv_ecr_velka.h"
#include "control/receipt/receipt_commands.h"

namespace velka {

// In asynchronous mode the application learns of its errors in queue order, through the
// error event of the queued entry, so the call itself succeeds; a wrong document state is
// the one error it always gets at once.
std::int32_t TmvEcrVelka::ReportReceiptError(std::int32_t code) {
  if (state_.AsyncMode && state_.ResultCodeExtended != extended::WrongState) {
    const std::int32_t queued =
        Send(receipt_command::ErrorEntry(code, state_.ResultCodeExtended), false);
    state_.ResultCodeExtended = 0;
    return state_.ResultCode = queued;
  }
  return state_.ResultCode = code;
}

}  // namespace velka
