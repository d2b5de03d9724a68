// Programming the register: its clock, its receipt header lines and its VAT table. Always
// synchronous. The VAT rates are kept in the control (SetVatValue) until SetVatTable sends
// all six.
#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "automation/result_codes.h"
#include "control/core/control_state.h"
#include "control/core/text_field.h"
#include "control/device/entry_checks.h"
#include "control/device/fixed_date_text.h"
#include "control/device/tmv_ecr_velka.h"
#include "platform/ascii_text.h"
#include "platform/numeric_text.h"
#include "platform/single_byte_text.h"

namespace velka {

namespace {

constexpr char kClock[] = ">>/?d/$";
constexpr char kHeaderLine[] = ">>/?H/$";
constexpr char kVatRate[] = ">>/?V/$";
constexpr char kDoubleWidth[] = "/*2";

constexpr std::int32_t kLastHeaderLine = 6;
constexpr std::int32_t kVatRateCount = 6;
constexpr double kRateLimitPercent = 100;  // a rate of 100 % or more is refused
constexpr double kHundredths = 100;

// The rate in hundredths of a percent, when the value is a rate the table can hold.
std::optional<std::int16_t> VatRateHundredths(double percent) {
  if (!std::isfinite(percent) || percent >= kRateLimitPercent) return std::nullopt;
  const double hundredths = RoundHalfEven(percent * kHundredths);
  if (hundredths < std::numeric_limits<std::int16_t>::min()) return std::nullopt;
  return static_cast<std::int16_t>(hundredths);
}

}  // namespace

std::int32_t TmvEcrVelka::SetDate(std::u16string& Data) {
  std::int32_t code = CheckEntry(entry::SetDate, state_, *port_);
  std::string command = kClock;
  if (IsDateText(Data)) {
    command += RegisterDate(Data);
  } else {
    code = result::Extended;
    state_.ResultCodeExtended = extended::BadDateTime;
  }
  command += "/*";
  if (IsTimeText(Data)) {
    command += RegisterTime(Data);
  } else {
    code = result::Extended;
    state_.ResultCodeExtended = extended::BadDateTime;
  }
  if (code == result::Success) code = Send(command, true);
  return state_.ResultCode = code;
}

// There is no lower bound on LineNumber: the register judges 0 and negative numbers itself.
std::int32_t TmvEcrVelka::SetHeaderLine(std::int32_t& LineNumber, std::u16string& Test,
                                        bool& DoubleWidth) {
  std::int32_t code = CheckEntry(entry::SetHeaderLine, state_, *port_);
  if (code == result::Success && LineNumber > kLastHeaderLine) code = result::NotAllowed;
  if (code != result::Success) return state_.ResultCode = code;
  std::string command =
      kHeaderLine + std::to_string(LineNumber) + "/(" + ToSingleByte(TrimSpaces(Test)) + ")";
  if (DoubleWidth) command += kDoubleWidth;
  return state_.ResultCode = Send(command, true);
}

// A value whose hundredths do not fit the table's 16-bit rate is refused like any other
// value out of range.
std::int32_t TmvEcrVelka::SetVatValue(std::int32_t& VatID, std::u16string& VatValue) {
  CheckEntry(entry::SetVatValue, state_, *port_);
  std::int32_t code = result::NotAllowed;
  const auto percent = NumericTextValue(VatValue);
  if (percent && VatID >= 1 && VatID <= kVatRateCount) {
    if (const auto rate = VatRateHundredths(*percent)) {
      state_.VatRates[VatID - 1] = *rate;
      code = result::Success;
    }
  }
  return state_.ResultCode = code;
}

std::int32_t TmvEcrVelka::SetVatTable() {
  std::int32_t code = CheckEntry(entry::SetVatTable, state_, *port_);
  for (std::int32_t id = 1; id <= kVatRateCount && code == result::Success; ++id) {
    code =
        Send(kVatRate + std::to_string(id) + "/*" + std::to_string(state_.VatRates[id - 1]), true);
  }
  return state_.ResultCode = code;
}

}  // namespace velka
