#include "tests/support/recording_events.h"

#include <utility>

#include "platform/single_byte_text.h"

namespace velka::testing {

void RecordingEvents::DataEvent(std::int32_t Status) {
  record("DataEvent " + std::to_string(Status));
}

void RecordingEvents::StatusUpdateEvent(std::int32_t Status) {
  statuses.push_back(Status);
  record("StatusUpdateEvent " + std::to_string(Status));
}

void RecordingEvents::ErrorEvent(std::int32_t ResultCode, std::int32_t ResultCodeExtended,
                                 std::int32_t ErrorLocus, std::int32_t& pErrorResponse) {
  errors.push_back({ResultCode, ResultCodeExtended});
  log.push_back("ErrorEvent " + std::to_string(ResultCode) + " " +
                std::to_string(ResultCodeExtended) + " " + std::to_string(ErrorLocus) + " " +
                std::to_string(pErrorResponse));
  // The response is chosen with the event already in the log.
  if (errorResponse) pErrorResponse = errorResponse(pErrorResponse);
  if (onEvent) onEvent(log.back());
}

void RecordingEvents::OutputCompleteEvent(std::int32_t OutputID) {
  record("OutputCompleteEvent " + std::to_string(OutputID));
}

void RecordingEvents::DirectIOEvent(std::int32_t Command, std::int32_t& pData,
                                    std::u16string& pString) {
  direct_io.push_back({Command, pData, pString});
  record("DirectIOEvent " + std::to_string(Command) + " " + std::to_string(pData) + " " +
         Utf16ToUtf8(pString));
}

void RecordingEvents::ReceiveDataEvent(const std::u16string& pString) {
  data.push_back(pString);
  record("ReceiveDataEvent " + Utf16ToUtf8(pString));
}

void RecordingEvents::answerErrorsWith(std::int32_t response) {
  errorResponse = [response](std::int32_t) { return response; };
}

void RecordingEvents::record(std::string line) {
  log.push_back(std::move(line));
  if (onEvent) onEvent(log.back());
}

}  // namespace velka::testing
