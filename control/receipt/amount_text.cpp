#include "control/receipt/amount_text.h"

#include <cstdint>

namespace velka {

namespace {
constexpr std::uint64_t kUnitsPerWhole = 10000;  // Currency counts ten-thousandths
constexpr int kDecimals = 4;
}  // namespace

std::string AmountText(Currency value) {
  // The magnitude in unsigned arithmetic, so that the most negative value has one too.
  const bool negative = value < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  const std::uint64_t whole = magnitude / kUnitsPerWhole;
  std::uint64_t fraction = magnitude % kUnitsPerWhole;
  if (magnitude == 0) return "0";

  std::string text = negative ? "-" : "";
  if (whole != 0) text += std::to_string(whole);
  if (fraction != 0) {
    std::string decimals(kDecimals, '0');
    for (int i = kDecimals - 1; i >= 0; --i) {
      decimals[i] = static_cast<char>('0' + fraction % 10);
      fraction /= 10;
    }
    decimals.erase(decimals.find_last_not_of('0') + 1);
    text += '.';
    text += decimals;
  }
  return text;
}

}  // namespace velka
