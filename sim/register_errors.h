#pragma once
// The register's own error numbers, as its "E" answers carry them (offsets 9-12).
namespace velka::sim::register_error {

inline constexpr int NotFound = 1;           // unknown data request
inline constexpr int BelowLimit = 3;         // value below the limit
inline constexpr int AboveLimit = 5;         // value above the limit
inline constexpr int TooManyDigits = 6;      // number or text too long
inline constexpr int Sequence = 7;           // command not allowed at this point of a document
inline constexpr int WrongState = 9;         // command not allowed in this key position
inline constexpr int InputError = 11;        // malformed field
inline constexpr int DecimalPrice = 12;      // more than two decimals
inline constexpr int InvalidCode = 19;       // unknown command
inline constexpr int AmountTooHigh = 21;     // line, total or payment over the maximum
inline constexpr int PriceTooHigh = 25;      // unit price over the maximum
inline constexpr int BufferOverflow = 30;    // too many lines in one receipt
inline constexpr int NegativeSubtotal = 32;  // a discount larger than what it reduces
inline constexpr int AmountRequired = 33;    // an amount field is missing
inline constexpr int ChangeDisabled = 35;  // payment over the rest with a type that gives no change
inline constexpr int VatCode = 37;         // VAT code outside 1..6
inline constexpr int VoidNotAllowed = 38;  // no sold item matches the cancellation
inline constexpr int RefundNotAllowed = 39;  // refund larger than the receipt
inline constexpr int BadDateTime = 101;      // date or time not valid, or before the last Z
inline constexpr int CoverOpen = 103;        // sent with condition "C"
inline constexpr int PaperOut = 104;         // sent with condition "P"
inline constexpr int Error105 = 105;         // the switchable register error condition
inline constexpr int JournalFull = 901;      // electronic journal full: a Z report is due
inline constexpr int FiscalMemoryFull = 905;

}  // namespace velka::sim::register_error
