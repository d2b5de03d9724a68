#include "control/link/queue_entry.h"

#include <algorithm>
#include <limits>

#include "platform/numeric_text.h"

namespace velka::link {

namespace {

constexpr std::string_view kErrorMark = "ERROR";
constexpr std::size_t kErrorCodeDigits = 6;

// A field read as the register's numbers are read: leading blanks, then digits.
std::int32_t FieldValue(std::string_view entry, std::size_t from, std::size_t count) {
  if (from >= entry.size()) return 0;
  const double value = Val(entry.substr(from, count));
  constexpr double kLow = std::numeric_limits<std::int32_t>::min();
  constexpr double kHigh = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::clamp(value, kLow, kHigh));
}

}  // namespace

std::string QueueEntry(std::int32_t output_id, std::string_view command) {
  std::string digits = std::string(kQueueNumberDigits, '0') + std::to_string(output_id);
  std::string entry = digits.substr(digits.size() - kQueueNumberDigits);
  entry += command;
  return entry;
}

std::int32_t QueueEntryNumber(std::string_view entry) {
  return FieldValue(entry, 0, kQueueNumberDigits);
}

std::string_view QueueEntryCommand(std::string_view entry) {
  return entry.size() <= kQueueNumberDigits ? std::string_view() : entry.substr(kQueueNumberDigits);
}

std::optional<QueuedError> QueuedErrorOf(std::string_view entry) {
  if (QueueEntryCommand(entry).substr(0, kErrorMark.size()) != kErrorMark) return std::nullopt;
  const std::size_t codes = kQueueNumberDigits + kErrorMark.size();
  return QueuedError{FieldValue(entry, codes, kErrorCodeDigits),
                     FieldValue(entry, codes + kErrorCodeDigits, kErrorCodeDigits)};
}

}  // namespace velka::link
