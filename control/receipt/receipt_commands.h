#pragma once
// The command strings of the fiscal receipt and of non-fiscal printing. Each builder takes
// arguments that the calling method has already checked and trimmed; text becomes
// single-byte here.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "control/receipt/amount_text.h"

namespace velka::receipt_command {

inline constexpr char kRefundMode[] = "=r";    // the next sale line is a refund
inline constexpr char kVoidItemMode[] = "=s";  // the next sale line cancels an item
inline constexpr char kStatusRequest[] = "<</?s";
inline constexpr char kOpenNonFiscal[] = "=o";
inline constexpr char kCloseNonFiscal[] = "=c";

// =R, the VAT code when VatInfo is above 0, "/$" and the amount, "/*" and the quantity when
// there is one, then the description field.
std::string SaleLine(std::int32_t VatInfo, Currency amount, std::optional<std::int32_t> quantity,
                     std::u16string_view description);
// =V, =V+, =% or =%+ by AdjustmentType 1 to 4, the amount or percentage, the description.
std::string AdjustmentLine(std::int32_t AdjustmentType, Currency Amount,
                           std::u16string_view description);
// The message head ("=" and a quotation mark) and the text field, empty or not.
std::string MessageLine(std::u16string_view text);
// =S, with "/$" and the amount when it is above 0.
std::string SubtotalLine(Currency Amount);
// =T: a payment type "1" to "5" given as Description, the payment when above 0, a
// description that is not a number.
std::string PaymentLine(Currency Payment, std::u16string_view description);
// =T2 (not paid) and the amount; the description is never sent.
std::string NotPaidLine(Currency Amount);
// =k and the description field.
std::string VoidLine(std::u16string_view description);

// The asynchronous error entry: "ERROR", the result code and the extended code as six
// digits each.
std::string ErrorEntry(std::int32_t code, std::int32_t extended);

}  // namespace velka::receipt_command
