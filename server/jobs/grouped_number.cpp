#include "server/jobs/grouped_number.h"

#include "server/resources/message_table.h"

namespace velka::server {

std::string GroupedNumber(std::int64_t value, char grouping) {
  // Unsigned, so that the most negative value has a magnitude too.
  std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  std::string digits = std::to_string(magnitude);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += grouping;
    out += digits[i];
  }
  return value < 0 ? "-" + out : out;
}

char GroupingFor(int language_offset) {
  return language_offset == kItalianOffset ? '.' : ',';
}

}  // namespace velka::server
