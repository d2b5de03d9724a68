#pragma once
// The entries of CommandQueue. Each begins with the output number the command was given, as
// ten decimal digits, and goes on with the command text; an error entry (an argument error
// of a receipt method, delivered in queue order) has "ERROR", the result code and the
// extended code of six digits each in place of the text. Pure text functions.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velka::link {

inline constexpr std::size_t kQueueNumberDigits = 10;

// The ten-digit number (the rightmost ten digits) followed by the command text.
std::string QueueEntry(std::int32_t output_id, std::string_view command);

// The number in the first ten characters; 0 when there is none.
std::int32_t QueueEntryNumber(std::string_view entry);

// What follows the number: the command text to transmit.
std::string_view QueueEntryCommand(std::string_view entry);

struct QueuedError {
  std::int32_t result_code = 0;
  std::int32_t extended = 0;
};
// The codes of an error entry; nothing for a command entry.
std::optional<QueuedError> QueuedErrorOf(std::string_view entry);

}  // namespace velka::link
