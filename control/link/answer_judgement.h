#pragma once
// Judging one answer buffer of the register: framing, block check, kind and the fields the
// control acts on. Bytes in, a verdict out; no waiting and no state, so the waiting loops
// and the fuzzer call the same code.
//
// Offsets count from the frame start s: 1 when the buffer begins with ACK STX, else 0.
// The last byte must be ETX, preceded by the two check digits.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/serial_port.h"

namespace velka::link {

enum class AnswerVerdict {
  Accepted,
  FramingFault,     // no STX at s, no ETX at the end, or too short for the fields read
  BlockCheckFault,  // the check digits do not match the block check
};

enum class AnswerKind {
  Status,       // "O": status without error
  ErrorStatus,  // "E"
  DataLine,     // "|": one data line, more follow
  Data,         // any other character: data for the method that sent the command
};

struct AnswerJudgement {
  AnswerVerdict verdict = AnswerVerdict::FramingFault;
  std::size_t start = 0;  // s
  AnswerKind kind = AnswerKind::Data;

  // Status: only read when the character at s + 13 is "0".
  std::optional<std::int32_t> printer_state;  // "2" at s + 14 gives 3, "4" gives 4
  bool further_answer = false;                // "1" at s + 15

  // ErrorStatus.
  std::uint8_t condition = 0;         // letter at s + 8
  std::int32_t error_number = 0;      // s + 9 to s + 12
  bool reports_when_cleared = false;  // "1" at s + 15

  // Data and DataLine: the data field without its kind character.
  std::string data;
  bool data_complete = true;  // false when the length field reaches past the buffer
};

// Frame start: 1 for a buffer that begins with ACK STX, else 0.
std::size_t AnswerStart(const Bytes& buffer);

AnswerJudgement JudgeAnswer(const Bytes& buffer);

// What the register's error status means to the control.
struct ErrorCondition {
  std::optional<std::int32_t> status;  // StatusUpdateEvent raised for it, if any
  std::int32_t extended = 0;           // ResultCodeExtended
  bool by_error_number = false;        // neither "P" nor "C": the register's number decides
};
ErrorCondition ErrorConditionOf(std::uint8_t condition, std::int32_t error_number);

// StatusUpdateEvent when the condition with this ResultCodeExtended is reported cleared.
std::int32_t ClearedStatusOf(std::int32_t extended);

// The clearing wait takes a collection as one answer once it holds a status answer's worth
// of bytes and an ETX anywhere. No framing or block check is applied to these answers.
bool IsCompleteClearingAnswer(const Bytes& collection);
enum class ClearingAnswer { Cleared, StillInError, Other };
ClearingAnswer JudgeClearingAnswer(const Bytes& answer);

// The numeric value of a field read as the system reads numbers from text; characters past
// the buffer's end are absent.
std::int32_t FieldNumber(const Bytes& buffer, std::size_t from, std::size_t count);

}  // namespace velka::link
