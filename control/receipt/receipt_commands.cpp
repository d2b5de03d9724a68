#include "control/receipt/receipt_commands.h"

#include <cstdio>

#include "control/core/text_field.h"
#include "platform/numeric_text.h"
#include "platform/single_byte_text.h"

namespace velka::receipt_command {

namespace {

constexpr char kMessageHead[] = "=\"";

std::string VatCode(std::int32_t VatInfo) {
  return VatInfo > 0 ? std::to_string(VatInfo) : std::string();
}

// Payment types the register knows by number.
bool IsPaymentType(double value) {
  return value > 0 && value < 6;
}

}  // namespace

std::string SaleLine(std::int32_t VatInfo, Currency amount, std::optional<std::int32_t> quantity,
                     std::u16string_view description) {
  std::string line = "=R" + VatCode(VatInfo) + "/$" + AmountText(amount);
  if (quantity) line += "/*" + std::to_string(*quantity);
  return line + TextField(description);
}

std::string AdjustmentLine(std::int32_t AdjustmentType, Currency Amount,
                           std::u16string_view description) {
  static constexpr const char* kHeads[] = {"=V/$", "=V+/$", "=%/*", "=%+/*"};
  if (AdjustmentType < 1 || AdjustmentType > 4) return {};  // refused before it gets here
  return kHeads[AdjustmentType - 1] + AmountText(Amount) + TextField(description);
}

std::string MessageLine(std::u16string_view text) {
  return std::string(kMessageHead) + "/(" + ToSingleByte(text) + ")";
}

std::string SubtotalLine(Currency Amount) {
  return Amount > 0 ? "=S/$" + AmountText(Amount) : std::string("=S");
}

std::string PaymentLine(Currency Payment, std::u16string_view description) {
  std::string line = "=T";
  const bool numeric = IsNumericText(description);
  if (!description.empty() && numeric && IsPaymentType(Val(description))) {
    line += ToSingleByte(description);
  }
  if (Payment > 0) line += "/$" + AmountText(Payment);
  if (!description.empty() && !numeric) line += TextField(description);
  return line;
}

std::string NotPaidLine(Currency Amount) {
  return "=T2/$" + AmountText(Amount);
}

std::string VoidLine(std::u16string_view description) {
  return "=k" + TextField(description);
}

std::string ErrorEntry(std::int32_t code, std::int32_t extended) {
  char entry[32];
  std::snprintf(entry, sizeof entry, "ERROR%06d%06d", static_cast<int>(code),
                static_cast<int>(extended));
  return entry;
}

}  // namespace velka::receipt_command
