#include "sim/command_fields.h"

#include "sim/register_errors.h"

namespace velka::sim {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// True when `rest` is empty or made of "/$..." and "/*..." fields only.
bool OnlyNumberFields(std::string_view rest) {
  while (!rest.empty()) {
    if (rest.size() < 2 || rest[0] != '/' || (rest[1] != '$' && rest[1] != '*')) return false;
    const std::size_t next = rest.find('/', 1);
    rest = next == std::string_view::npos ? std::string_view{} : rest.substr(next);
  }
  return true;
}

}  // namespace

std::optional<CommandFields> SplitCommand(std::string_view command) {
  CommandFields fields;
  std::size_t head_start = 0;
  if (command.starts_with(">>/") || command.starts_with("<</")) head_start = 3;
  std::size_t pos = command.find('/', head_start);
  if (pos == std::string_view::npos) pos = command.size();
  fields.head = std::string(command.substr(0, pos));
  while (pos < command.size()) {
    // command[pos] is "/"
    if (pos + 1 >= command.size()) return std::nullopt;
    const char tag = command[pos + 1];
    const std::size_t value_start = pos + 2;
    if (tag == '(') {
      if (fields.text) return std::nullopt;
      std::size_t close = command.rfind(')');
      while (close != std::string_view::npos && close >= value_start &&
             !OnlyNumberFields(command.substr(close + 1))) {
        close = close == 0 ? std::string_view::npos : command.rfind(')', close - 1);
      }
      if (close == std::string_view::npos || close < value_start) return std::nullopt;
      fields.text = std::string(command.substr(value_start, close - value_start));
      pos = close + 1;
      continue;
    }
    std::size_t end = command.find('/', value_start);
    if (end == std::string_view::npos) end = command.size();
    std::string value(command.substr(value_start, end - value_start));
    std::optional<std::string>* slot = nullptr;
    if (tag == '$') slot = &fields.dollar;
    if (tag == '*') slot = &fields.star;
    if (slot == nullptr || slot->has_value()) return std::nullopt;
    *slot = std::move(value);
    pos = end;
  }
  return fields;
}

Hundredths ParseHundredths(std::string_view text) {
  Hundredths out;
  const std::size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
  if (whole.empty() && fraction.empty()) {
    out.error = register_error::InputError;
    return out;
  }
  for (char c : whole) {
    if (!IsDigit(c)) out.error = register_error::InputError;
  }
  for (char c : fraction) {
    if (!IsDigit(c)) out.error = register_error::InputError;
  }
  if (out.error != 0) return out;
  if (whole.size() > 10) {
    out.error = register_error::TooManyDigits;
    return out;
  }
  if (fraction.size() > 2) {
    out.error = register_error::DecimalPrice;
    return out;
  }
  std::int64_t value = 0;
  for (char c : whole) value = value * 10 + (c - '0');
  value *= 100;
  if (!fraction.empty()) value += (fraction[0] - '0') * 10;
  if (fraction.size() > 1) value += fraction[1] - '0';
  out.value = value;
  return out;
}

WholeNumber ParseWholeNumber(std::string_view text) {
  WholeNumber out;
  bool negative = false;
  if (text.starts_with('-')) {
    negative = true;
    text.remove_prefix(1);
  }
  if (text.empty()) {
    out.error = register_error::InputError;
    return out;
  }
  for (char c : text) {
    if (!IsDigit(c)) {
      out.error = register_error::InputError;
      return out;
    }
  }
  if (negative) {
    out.error = register_error::BelowLimit;
    return out;
  }
  if (text.size() > 9) {
    out.error = register_error::TooManyDigits;
    return out;
  }
  for (char c : text) out.value = out.value * 10 + (c - '0');
  return out;
}

}  // namespace velka::sim
