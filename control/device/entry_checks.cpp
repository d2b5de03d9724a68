#include "control/device/entry_checks.h"

#include "automation/result_codes.h"
#include "control/core/control_state.h"
#include "platform/serial_port.h"

namespace velka {

std::int32_t CheckEntry(const EntryRule& rule, ControlState& state, SerialPort& port) {
  std::int32_t code = result::Success;
  if (rule.cts_first && !(port.isOpen() && port.cts())) {
    code = result::NoRegister;
  } else if (rule.clears_extended) {
    state.ResultCodeExtended = 0;
  }
  const bool device_failed = rule.device_check && !state.DeviceOpen;
  if (device_failed) code = result::DeviceNotOpen;
  if ((!device_failed || rule.state_wins) && !rule.states.contains(state.PrinterState)) {
    if (rule.wrong_state_extended) {
      code = result::Extended;
      state.ResultCodeExtended = extended::WrongState;
    } else {
      code = result::NotAllowed;
    }
  }
  return code;
}

}  // namespace velka
