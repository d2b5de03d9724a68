#pragma once
// The tests' recorder of the control's events: every event as a line of text with its
// arguments ("StatusUpdateEvent 24"), in order, and the arguments of the events most tests
// look at one by one. A test chooses what the host answers to ErrorEvent and may act inside
// each event.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "control/core/control_events.h"

namespace velka::testing {

class RecordingEvents : public ControlEvents {
 public:
  void DataEvent(std::int32_t Status) override;
  void StatusUpdateEvent(std::int32_t Status) override;
  void ErrorEvent(std::int32_t ResultCode, std::int32_t ResultCodeExtended, std::int32_t ErrorLocus,
                  std::int32_t& pErrorResponse) override;
  void OutputCompleteEvent(std::int32_t OutputID) override;
  void DirectIOEvent(std::int32_t Command, std::int32_t& pData, std::u16string& pString) override;
  void ReceiveDataEvent(const std::u16string& pString) override;

  // The host answers every ErrorEvent with this response.
  void answerErrorsWith(std::int32_t response);

  struct Error {
    std::int32_t code;
    std::int32_t extended;
  };
  struct DirectIO {
    std::int32_t Command;
    std::int32_t pData;
    std::u16string pString;
  };

  // Every event, as text; ErrorEvent shows the response preset by the control.
  std::vector<std::string> log;
  std::vector<std::int32_t> statuses;  // StatusUpdateEvent
  std::vector<Error> errors;           // ErrorEvent
  std::vector<DirectIO> direct_io;     // DirectIOEvent, as raised
  std::vector<std::u16string> data;    // ReceiveDataEvent
  // What the host leaves in pErrorResponse (unset: the preset value stands).
  std::function<std::int32_t(std::int32_t preset)> errorResponse;
  std::function<void(const std::string& event)> onEvent;  // runs inside each event, last

 private:
  void record(std::string line);
};

}  // namespace velka::testing
