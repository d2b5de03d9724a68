#include "control/device/fixed_date_text.h"

#include <optional>

#include "control/core/text_field.h"
#include "platform/local_time.h"
#include "platform/single_byte_text.h"

namespace velka {

namespace {

// The number written at positions start to start + count - 1, all of them decimal digits.
std::optional<int> DigitsAt(std::u16string_view text, std::size_t start, std::size_t count) {
  const std::u16string_view digits = Mid(text, start, count);
  if (digits.size() != count) return std::nullopt;
  int value = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
  }
  return value;
}

}  // namespace

bool IsDateText(std::u16string_view text) {
  const auto day = DigitsAt(text, 1, 2);
  const auto month = DigitsAt(text, 3, 2);
  const auto year = DigitsAt(text, 5, 4);
  return day && month && year && IsValidDate(*day, *month, *year);
}

bool IsTimeText(std::u16string_view text) {
  const auto hour = DigitsAt(text, 9, 2);
  const auto minute = DigitsAt(text, 11, 2);
  return hour && minute && IsValidTimeOfDay(*hour, *minute);
}

std::string RegisterDate(std::u16string_view text) {
  return ToSingleByte(Mid(text, 1, 4)) + ToSingleByte(Mid(text, 7, 2));
}

std::string RegisterTime(std::u16string_view text) {
  return ToSingleByte(Mid(text, 9, 4)) + "00";
}

}  // namespace velka
