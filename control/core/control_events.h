#pragma once
// The six events of the control, raised synchronously on the host's thread. The automation
// layer's event sink sits on this interface; a C++ host may implement it directly.
// A handler may call back into the control (a transmission already in progress answers 113)
// and may close it with TMVClose; it must not destroy the control object itself.
#include <cstdint>
#include <string>

namespace velka {

class ControlEvents {
 public:
  virtual ~ControlEvents() = default;
  virtual void DataEvent(std::int32_t /*Status*/) {}
  virtual void StatusUpdateEvent(std::int32_t /*Status*/) {}
  virtual void ErrorEvent(std::int32_t /*ResultCode*/, std::int32_t /*ResultCodeExtended*/,
                          std::int32_t /*ErrorLocus*/, std::int32_t& /*pErrorResponse*/) {}
  virtual void OutputCompleteEvent(std::int32_t /*OutputID*/) {}
  virtual void DirectIOEvent(std::int32_t /*Command*/, std::int32_t& /*pData*/,
                             std::u16string& /*pString*/) {}
  virtual void ReceiveDataEvent(const std::u16string& /*pString*/) {}
};

}  // namespace velka
