#pragma once
// The members of a TmvEcrVelka instance, with their values at creation. The link, the
// device methods and the receipt methods all work on this one record.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "automation/result_codes.h"
#include "platform/serial_port.h"

namespace velka {

class ControlEvents;

struct ControlState {
  std::int32_t ResultCode = result::DeviceNotOpen;
  std::int32_t ResultCodeExtended = 0;
  std::int32_t State = device_state::Closed;
  std::int32_t PrinterState = printer_state::Idle;
  bool AsyncMode = false;
  bool TMVHighSpeed = false;
  std::int32_t OutputID = 0;
  std::int32_t ErrorOutID = 0;
  bool DeviceOpen = false;
  std::int16_t PackID = 0;
  bool LinkFree = false;  // until the first TMVOpen
  std::vector<std::string> CommandQueue;
  std::int32_t QueueLast = -1;
  std::int32_t QueueNext = 0;
  std::string AnswerData;                  // single-byte text of the register
  std::array<std::int16_t, 6> VatRates{};  // index 0 holds rate 1
  bool TraceOn = false;
  bool TraceFileOpen = false;

  // Link-only members.
  bool DataMode = false;
  bool TimeoutElapsed = false;
  Bytes ReceiveBuffer;

  // Where events go; null when the host connected nothing.
  ControlEvents* events = nullptr;
};

}  // namespace velka
