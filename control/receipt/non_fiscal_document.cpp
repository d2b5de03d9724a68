// Non-fiscal printing: free text lines between =o and =c, outside any fiscal receipt.
#include "automation/result_codes.h"
#include "control/core/control_state.h"
#include "control/core/text_field.h"
#include "control/device/entry_checks.h"
#include "control/device/tmv_ecr_velka.h"
#include "control/receipt/receipt_commands.h"
#include "platform/ascii_text.h"

namespace velka {

namespace {

namespace cmd = receipt_command;

// The station that prints non-fiscal text: the receipt station.
constexpr std::int32_t kReceiptStation = 2;
constexpr char16_t kLineFeed = u'\n';

}  // namespace

std::int32_t TmvEcrVelka::BeginNonFiscal() {
  std::int32_t code = CheckEntry(entry::DocumentBoundary({printer_state::Idle}), state_, *port_);
  if (code != result::Success) return state_.ResultCode = code;
  code = Send(cmd::kOpenNonFiscal, false);
  if (code == result::Success) state_.PrinterState = printer_state::NonFiscal;
  return state_.ResultCode = code;
}

std::int32_t TmvEcrVelka::EndNonFiscal() {
  std::int32_t code =
      CheckEntry(entry::DocumentBoundary({printer_state::NonFiscal}), state_, *port_);
  if (code != result::Success) return state_.ResultCode = code;
  code = Send(cmd::kCloseNonFiscal, false);
  if (code == result::Success) state_.PrinterState = printer_state::Idle;
  return state_.ResultCode = code;
}

// Each line of Data (separated by line feeds only) is cut to the printable width, then
// trimmed, and printed as a message line; the first failing line ends the call. Data of any
// length is walked through without copying it.
std::int32_t TmvEcrVelka::PrintNormal(std::int32_t& Station, std::u16string Data) {
  std::int32_t code;
  if (state_.DeviceOpen && Station != kReceiptStation) {
    state_.ResultCodeExtended = 0;
    code = result::NotAllowed;
  } else {
    code = CheckEntry(entry::Receipt({printer_state::NonFiscal}), state_, *port_);
  }
  if (code != result::Success) return ReportReceiptError(code);

  std::u16string_view rest = Data;
  do {
    const std::size_t feed = rest.find(kLineFeed);
    std::u16string_view line = rest.substr(0, feed);
    rest = feed == std::u16string_view::npos ? std::u16string_view() : rest.substr(feed + 1);
    line = TrimSpaces(line.substr(0, kMaxTextField));
    code = Send(cmd::MessageLine(line), false);
  } while (!rest.empty() && code == result::Success);
  return state_.ResultCode = code;
}

}  // namespace velka
