// Queries and direct commands: the register's clock, its data requests, and command strings
// of the caller's own passed through unchanged. The answer comes from AnswerData.
#include <string>

#include "automation/result_codes.h"
#include "control/core/control_events.h"
#include "control/core/control_state.h"
#include "control/core/text_field.h"
#include "control/device/entry_checks.h"
#include "control/device/tmv_ecr_velka.h"
#include "platform/single_byte_text.h"

namespace velka {

namespace {

constexpr char kClockRequest[] = "<</?d";
constexpr char kDataRequest[] = "<</";

// The data request of a GetData item; an item without one sends the bare "<</".
std::string DataRequest(std::int32_t DataItem) {
  switch (DataItem) {
    case 2:
      return "<</?1";
    case 4:
      return "<</?r";
    case 5:
      return "<</?5";
    case 6:
      return "<</?k";
    case 7:
      return "<</?7";
    case 8:
      return "<</?8";
    case 9:
      return "<</?m";
    case 10:
      return "<</?f";
    case 11:
      return "<</?0";
    case 12:
      return "<</?s";
    case 13:
      return "<</?d";
    case 14:
      return "<</?S";
    case 15:
      return "<</?u";
    default:
      return kDataRequest;
  }
}

// The clock answer holds dd?mm?yy?hh?mm; the century comes from the computer's clock, so
// DateTime has the DDMMYYYYHHMM layout that SetDate takes.
std::string DateTimeOfClockAnswer(std::string_view answer, int current_year) {
  const std::string century = std::to_string(current_year).substr(0, 2);
  std::string text;
  text += Mid(answer, 1, 2);
  text += Mid(answer, 4, 2);
  text += century;
  text += Mid(answer, 7, 2);
  text += Mid(answer, 10, 2);
  text += Mid(answer, 13, 2);
  return text;
}

}  // namespace

std::int32_t TmvEcrVelka::GetDate(std::u16string& DateTime) {
  DateTime.clear();
  std::int32_t code = CheckEntry(entry::GetDate, state_, *port_);
  if (code == result::Success) {
    state_.AnswerData.clear();  // a register answering with a bare status leaves no date
    code = Send(kClockRequest, true);
  }
  if (code == result::Success) {
    const LocalDateTime now = env_.clock ? env_.clock() : CurrentLocalDateTime();
    DateTime = FromSingleByte(DateTimeOfClockAnswer(state_.AnswerData, now.year));
  }
  return state_.ResultCode = code;
}

std::int32_t TmvEcrVelka::GetData(std::int32_t& DataItem, std::vector<std::int32_t>& /*OptArgs*/,
                                  std::u16string& Data) {
  std::int32_t code = PortChecked(CheckEntry(entry::GetData, state_, *port_));
  Data.clear();
  if (code == result::Success) {
    // The answer of an earlier request is not handed back as this one's.
    state_.AnswerData.clear();
    code = Send(DataRequest(DataItem), true);
  }
  if (code == result::Success) Data = FromSingleByte(state_.AnswerData);
  return state_.ResultCode = code;
}

// The answer is handed over once: the next direct command starts from an empty answer.
std::int32_t TmvEcrVelka::DirectIO(std::int32_t Command, std::int32_t& pData,
                                   std::u16string& pString) {
  std::int32_t code = PortChecked(CheckEntry(entry::DirectIO, state_, *port_));
  if (code != result::Success) return code;
  code = Send(ToSingleByte(pString), false);
  if (code != result::Success) return code;
  std::u16string answer = FromSingleByte(state_.AnswerData);
  if (state_.events) state_.events->DirectIOEvent(Command, pData, answer);
  state_.AnswerData.clear();
  return code;
}

std::int32_t TmvEcrVelka::DirectIO2(std::int32_t /*Command*/, std::int32_t& /*pData*/,
                                    std::u16string& pString, std::u16string& pOString) {
  std::int32_t code = PortChecked(CheckEntry(entry::DirectIO, state_, *port_));
  if (code != result::Success) return code;
  code = Send(ToSingleByte(pString), false);
  if (code != result::Success) return code;
  pOString = FromSingleByte(state_.AnswerData);
  state_.AnswerData.clear();
  return code;
}

}  // namespace velka
