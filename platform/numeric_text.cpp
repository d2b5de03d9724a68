// Numbers read from text: the BASIC Val and the strict numeric-text check.
#include "platform/numeric_text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "platform/ascii_text.h"

namespace velka {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A decimal number at the start of text: optional sign, digits, optional "." and digits.
struct DecimalNumber {
  bool negative = false;
  std::string_view whole;
  std::string_view fraction;
  std::size_t length = 0;  // characters taken from the text
  bool hasDigits() const { return !whole.empty() || !fraction.empty(); }
};

DecimalNumber ScanDecimal(std::string_view text) {
  DecimalNumber n;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) n.negative = text[i++] == '-';
  const std::size_t whole_start = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  n.whole = text.substr(whole_start, i - whole_start);
  if (i < text.size() && text[i] == '.') {
    const std::size_t fraction_start = ++i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    n.fraction = text.substr(fraction_start, i - fraction_start);
  }
  n.length = i;
  return n;
}

// The value of the digits, whatever the process locale; a number too large for a double is
// infinite, one too small is zero.
double ValueOf(const DecimalNumber& n) {
  std::string digits(n.whole.empty() ? std::string_view("0") : n.whole);
  if (!n.fraction.empty()) {
    digits += '.';
    digits += n.fraction;
  }
  double value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                            std::chars_format::fixed);
  (void)end;
  if (error == std::errc::result_out_of_range) {
    const bool large = n.whole.find_first_not_of('0') != std::string_view::npos;
    value = large ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (error != std::errc()) {
    value = 0;
  }
  return n.negative ? -value : value;
}

// Automation text as the ASCII the number rules look at; any other character stops a number.
std::string NarrowForNumbers(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '\x01';
  return out;
}

}  // namespace

double Val(std::string_view text) {
  // Blanks after the number do not matter: the scan stops at the first other character.
  const DecimalNumber n = ScanDecimal(TrimSpacesAndTabs(text));
  return n.hasDigits() ? ValueOf(n) : 0.0;
}

double Val(std::u16string_view text) {
  return Val(NarrowForNumbers(text));
}

std::optional<double> NumericTextValue(std::string_view text) {
  text = TrimSpacesAndTabs(text);
  const DecimalNumber n = ScanDecimal(text);
  if (!n.hasDigits() || n.length != text.size()) return std::nullopt;
  const double value = ValueOf(n);
  if (std::isinf(value)) return std::nullopt;
  return value;
}

std::optional<double> NumericTextValue(std::u16string_view text) {
  return NumericTextValue(NarrowForNumbers(text));
}

double RoundHalfEven(double value) {
  if (!std::isfinite(value)) return value;
  const double lower = std::floor(value);
  const double fraction = value - lower;
  if (fraction < 0.5) return lower;
  if (fraction > 0.5) return lower + 1;
  return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

}  // namespace velka
