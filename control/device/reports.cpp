// The register's day reports: X report, Z report, and a report over a range of dates or of
// numbers. Always synchronous: a report is printed before the call returns.
#include <initializer_list>
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

constexpr char kXReport[] = "=C2";
constexpr char kZReport[] = "=C3";
constexpr char kRangeReport[] = "=C4";
constexpr char kReportTotals[] = "=C10";  // follows every day report
constexpr char kReportEnd[] = "=C1";
constexpr char kDateRange[] = "=401";
constexpr char kNumberRange[] = "=402";
constexpr char kBound[] = "=S";  // alone it closes the list of bounds

constexpr std::int32_t kDateRangeReport = 2;  // ReportType of a range of dates

struct ReportBounds {
  std::int32_t extended = 0;  // 0 when both bounds are good
  std::string start;
  std::string end;
};

ReportBounds DateBounds(std::u16string_view StartNum, std::u16string_view EndNum) {
  ReportBounds bounds;
  if (IsDateText(StartNum)) {
    bounds.start = RegisterDate(StartNum);
  } else {
    bounds.extended = extended::BadDateTime;
  }
  if (IsDateText(EndNum)) {
    bounds.end = RegisterDate(EndNum);
  } else {
    bounds.extended = extended::BadDateTime;
  }
  return bounds;
}

// An end of 0 leaves the range open at the top, so any start goes with it.
ReportBounds NumberBounds(std::u16string_view StartNum, std::u16string_view EndNum) {
  ReportBounds bounds;
  const auto start = NumericTextValue(StartNum);
  const auto end = NumericTextValue(EndNum);
  if (!start || !end || (*end > 0 && *start > *end)) {
    bounds.extended = extended::BadReportRange;
    return bounds;
  }
  bounds.start = ToSingleByte(TrimSpaces(StartNum));
  bounds.end = ToSingleByte(TrimSpaces(EndNum));
  return bounds;
}

}  // namespace

std::int32_t TmvEcrVelka::PrintXReport() {
  std::int32_t code = CheckEntry(entry::Report, state_, *port_);
  for (const char* command : {kXReport, kReportTotals, kReportEnd}) {
    if (code != result::Success) break;
    code = Send(command, true);
  }
  return state_.ResultCode = code;
}

std::int32_t TmvEcrVelka::PrintZReport() {
  std::int32_t code = CheckEntry(entry::Report, state_, *port_);
  for (const char* command : {kZReport, kReportTotals, kReportEnd}) {
    if (code != result::Success) break;
    code = Send(command, true);
  }
  return state_.ResultCode = code;
}

// The bounds are checked even when the entry checks failed, and a bad bound is what the
// caller is told.
std::int32_t TmvEcrVelka::PrintReport(std::int32_t& ReportType, std::u16string& StartNum,
                                      std::u16string& EndNum) {
  std::int32_t code = CheckEntry(entry::Report, state_, *port_);
  const bool by_date = ReportType == kDateRangeReport;
  const ReportBounds bounds =
      by_date ? DateBounds(StartNum, EndNum) : NumberBounds(StartNum, EndNum);
  if (bounds.extended != 0) {
    code = result::Extended;
    state_.ResultCodeExtended = bounds.extended;
  }
  const std::string sequence[] = {kRangeReport,
                                  by_date ? kDateRange : kNumberRange,
                                  kBound + bounds.start,
                                  kBound + bounds.end,
                                  kBound,
                                  kReportEnd};
  for (const std::string& command : sequence) {
    if (code != result::Success) break;
    code = Send(command, true);
  }
  return state_.ResultCode = code;
}

std::int32_t TmvEcrVelka::PrintPeriodicTotalsReport(std::u16string& /*Date1*/,
                                                    std::u16string& /*Date2*/) {
  return CheckEntry(entry::PeriodicTotals, state_, *port_);
}

}  // namespace velka
