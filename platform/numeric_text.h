#pragma once
// Numbers read from text, the one way the whole system reads them.
#include <optional>
#include <string_view>

namespace velka {

// The old BASIC Val: leading blanks skipped, an optional sign, digits up to the first other
// character with "." as decimal point; no digit at all gives 0.
double Val(std::string_view text);
double Val(std::u16string_view text);

// Numeric text: a C-locale decimal number ("12", "-3.5", ".5", " 7 ") with optional blanks
// around it and an optional sign; nothing else may follow. Returns its value, or nothing.
std::optional<double> NumericTextValue(std::string_view text);
std::optional<double> NumericTextValue(std::u16string_view text);
inline bool IsNumericText(std::string_view text) {
  return NumericTextValue(text).has_value();
}
inline bool IsNumericText(std::u16string_view text) {
  return NumericTextValue(text).has_value();
}

// Rounding as the automation's conversions do: a half goes to the even neighbour.
double RoundHalfEven(double value);

}  // namespace velka
