// The fiscal receipt methods. Each one passes its gate (device open, document state), checks
// its arguments in a fixed order, sends one or two command strings and moves PrinterState
// when the last one succeeded. The register keeps the receipt itself.
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

constexpr StateSet kLinesOpen{printer_state::FiscalReceipt};
constexpr StateSet kPaymentOpen{printer_state::FiscalReceipt, printer_state::PaymentIncomplete};
constexpr StateSet kAnyState{};

constexpr std::int32_t kFirstAdjustmentType = 1;  // amount discount
constexpr std::int32_t kLastAdjustmentType = 4;   // percentage surcharge
// Characters 5 and 6 of the status answer while the receipt still awaits payment.
constexpr std::string_view kPaymentIncompleteStatus = "02";

// A failed argument check: 114 with the extended code that names the argument.
std::int32_t Refuse(ControlState& state, std::int32_t extended_code) {
  state.ResultCodeExtended = extended_code;
  return result::Extended;
}

bool TooLong(std::u16string_view text) {
  return text.size() > kMaxTextField;
}

// Zero means one piece, also in the caller's variable; a negative quantity is refused.
std::int32_t CheckQuantity(ControlState& state, std::int32_t& Quantity) {
  if (Quantity == 0) Quantity = 1;
  return Quantity < 0 ? Refuse(state, extended::BadQuantity) : result::Success;
}

// After a payment the answer to the receipt status request tells whether more is to be
// paid. A failed status request is not the payment's failure: the state is decided from
// whatever answer is at hand.
void DecidePaymentState(ControlState& state) {
  state.PrinterState = Mid(state.AnswerData, 5, 2) == kPaymentIncompleteStatus
                           ? printer_state::PaymentIncomplete
                           : printer_state::ReceiptEnding;
}

bool IsAdjustmentType(std::int32_t AdjustmentType) {
  return AdjustmentType >= kFirstAdjustmentType && AdjustmentType <= kLastAdjustmentType;
}

}  // namespace

std::int32_t TmvEcrVelka::BeginFiscalReceipt(bool& /*PrintHeader*/) {
  const std::int32_t code =
      CheckEntry(entry::DocumentBoundary({printer_state::Idle}), state_, *port_);
  if (code == result::Success) state_.PrinterState = printer_state::FiscalReceipt;
  return state_.ResultCode = code;
}

std::int32_t TmvEcrVelka::EndFiscalReceipt(bool& /*PrintHeader*/) {
  const std::int32_t code =
      CheckEntry(entry::DocumentBoundary({printer_state::ReceiptEnding}), state_, *port_);
  if (code == result::Success) state_.PrinterState = printer_state::Idle;
  return state_.ResultCode = code;
}

std::int32_t TmvEcrVelka::PrintRecItem(std::u16string& Description, Currency& Price,
                                       std::int32_t& Quantity, std::int32_t& VatInfo,
                                       std::int32_t& /*UnitPrice*/, std::u16string& /*UnitName*/) {
  std::int32_t code = CheckEntry(entry::Receipt(kLinesOpen), state_, *port_);
  if (code == result::Success) code = CheckQuantity(state_, Quantity);
  if (code == result::Success && Price <= 0) code = Refuse(state_, extended::BadPrice);
  if (code == result::Success && TooLong(Description)) {
    code = Refuse(state_, extended::BadDescription);
  }
  if (code != result::Success) return ReportReceiptError(code);
  return state_.ResultCode =
             Send(cmd::SaleLine(VatInfo, Price, Quantity, TrimSpaces(Description)), false);
}

std::int32_t TmvEcrVelka::PrintRecItemAdjustment(std::int32_t& AdjustmentType,
                                                 std::u16string& Description, Currency& Amount,
                                                 std::int32_t& /*VatInfo*/) {
  return PrintRecSubtotalAdjustment(AdjustmentType, Description, Amount);
}

std::int32_t TmvEcrVelka::PrintRecSubtotalAdjustment(std::int32_t& AdjustmentType,
                                                     std::u16string& Description,
                                                     Currency& Amount) {
  std::int32_t code = CheckEntry(entry::Receipt(kLinesOpen), state_, *port_);
  if (code == result::Success && TooLong(Description)) {
    code = Refuse(state_, extended::BadDescription);
  }
  if (code == result::Success && !IsAdjustmentType(AdjustmentType)) code = result::NotAllowed;
  if (code == result::Success && Amount <= 0) code = Refuse(state_, extended::BadAmount);
  if (code != result::Success) return ReportReceiptError(code);
  return state_.ResultCode =
             Send(cmd::AdjustmentLine(AdjustmentType, Amount, TrimSpaces(Description)), false);
}

std::int32_t TmvEcrVelka::PrintRecMessage(std::u16string& Message) {
  std::int32_t code = CheckEntry(entry::Receipt(kAnyState), state_, *port_);
  const std::u16string_view text = TrimSpaces(Message);
  if (code == result::Success && (text.empty() || TooLong(text))) {
    code = Refuse(state_, extended::BadDescription);
  }
  if (code != result::Success) return ReportReceiptError(code);
  return state_.ResultCode = Send(cmd::MessageLine(text), false);
}

std::int32_t TmvEcrVelka::PrintRecSubtotal(Currency& Amount) {
  std::int32_t code = CheckEntry(entry::Receipt(kLinesOpen), state_, *port_);
  if (code == result::Success && Amount < 0) code = Refuse(state_, extended::BadAmount);
  if (code != result::Success) return ReportReceiptError(code);
  return state_.ResultCode = Send(cmd::SubtotalLine(Amount), false);
}

std::int32_t TmvEcrVelka::PrintRecRefund(std::u16string& Description, Currency& Amount,
                                         std::int32_t& VatInfo) {
  std::int32_t code = CheckEntry(entry::Receipt(kLinesOpen), state_, *port_);
  if (code == result::Success && Amount <= 0) code = Refuse(state_, extended::BadAmount);
  if (code == result::Success && TooLong(Description)) {
    code = Refuse(state_, extended::BadDescription);
  }
  if (code != result::Success) return ReportReceiptError(code);
  code = Send(cmd::kRefundMode, false);
  if (code == result::Success) {
    code = Send(cmd::SaleLine(VatInfo, Amount, std::nullopt, TrimSpaces(Description)), false);
  }
  return state_.ResultCode = code;
}

std::int32_t TmvEcrVelka::PrintRecVoidItem(std::u16string& Description, Currency& Amount,
                                           std::int32_t& Quantity, std::int32_t& AdjustmentType,
                                           Currency& /*Adjustment*/, std::int32_t& VatInfo) {
  std::int32_t code = CheckEntry(entry::Receipt(kLinesOpen), state_, *port_);
  if (code == result::Success) code = CheckQuantity(state_, Quantity);
  if (code == result::Success && Amount <= 0) code = Refuse(state_, extended::BadAmount);
  if (code == result::Success && TooLong(Description)) {
    code = Refuse(state_, extended::BadDescription);
  }
  if (code == result::Success && AdjustmentType > 0 && !IsAdjustmentType(AdjustmentType)) {
    code = result::NotAllowed;
  }
  if (code != result::Success) return ReportReceiptError(code);
  code = Send(cmd::kVoidItemMode, false);
  if (code == result::Success) {
    code = Send(cmd::SaleLine(VatInfo, Amount, Quantity, TrimSpaces(Description)), false);
  }
  return state_.ResultCode = code;
}

std::int32_t TmvEcrVelka::PrintRecTotal(Currency& Total, Currency& Payment,
                                        std::u16string& Description) {
  std::int32_t code = CheckEntry(entry::Receipt(kPaymentOpen), state_, *port_);
  if (code == result::Success && (Total < 0 || Payment < 0)) {
    code = Refuse(state_, extended::BadAmount);
  }
  if (code != result::Success) return ReportReceiptError(code);
  code = Send(cmd::PaymentLine(Payment, TrimSpaces(Description)), false);
  if (code == result::Success) {
    Send(cmd::kStatusRequest, false);
    DecidePaymentState(state_);
  }
  return state_.ResultCode = code;
}

std::int32_t TmvEcrVelka::PrintRecNotPaid(std::u16string& Description, Currency& Amount) {
  std::int32_t code = CheckEntry(entry::Receipt(kPaymentOpen), state_, *port_);
  if (code == result::Success && TooLong(Description)) {
    code = Refuse(state_, extended::BadDescription);
  }
  if (code == result::Success && Amount <= 0) code = Refuse(state_, extended::BadAmount);
  if (code != result::Success) return ReportReceiptError(code);
  code = Send(cmd::NotPaidLine(Amount), false);
  if (code == result::Success) {
    Send(cmd::kStatusRequest, false);
    DecidePaymentState(state_);
  }
  return state_.ResultCode = code;
}

std::int32_t TmvEcrVelka::PrintRecVoid(std::u16string& Description) {
  std::int32_t code = CheckEntry(entry::Receipt(kLinesOpen), state_, *port_);
  const std::u16string_view text = TrimSpaces(Description);
  if (code == result::Success && TooLong(text)) code = Refuse(state_, extended::BadDescription);
  if (code != result::Success) return ReportReceiptError(code);
  code = Send(cmd::VoidLine(text), false);
  if (code == result::Success) state_.PrinterState = printer_state::ReceiptEnding;
  return state_.ResultCode = code;
}

}  // namespace velka
