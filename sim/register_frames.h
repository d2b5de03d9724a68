#pragma once
// The bytes the simulated register puts on the line, and the command frame it reads.
//
// Command frame (from the control), L + 11 bytes, L = 0..999:
//   STX "01" LLL kind text sequence-digit check(2 upper-case hex) ETX
// Answer frame (to the control), D + 10 bytes, D = length of the data field, 1..999:
//   STX "01" DDD "N" data-field check(2 upper-case hex) ETX
// The data field's first character is the answer kind: "O" status, "E" error status, "|" data
// line, anything else a data answer whose remaining characters are the answer data.
//
// Status answers ("O", "E") are always 21 bytes; their data field is 11 characters:
//   offset  7  kind "O" or "E"
//   offset  8  condition: "C" cover open, "P" paper out, "R" register error, "-" none
//   offset  9  register error number, four digits ("0000" in an "O" answer)
//   offset 13  "0"
//   offset 14  document digit: "0" none, "1" fiscal receipt open, "2" payment incomplete,
//              "4" receipt ending (only in the answer to the command that closed it),
//              "9" non-fiscal document open
//   offset 15  "1": a further answer follows ("O") / a report follows when cleared ("E")
//   offset 16  sequence digit of the command frame answered ("-" for none)
//   offset 17  "0"
// The check is the XOR of the bytes from STX up to the last data byte.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velka::sim {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t STX = 0x02;
inline constexpr std::uint8_t ETX = 0x03;
inline constexpr std::uint8_t ACK = 0x06;
inline constexpr std::uint8_t NACK = 0x15;
inline constexpr std::uint8_t CR = 0x0D;
inline constexpr std::uint8_t LF = 0x0A;

inline constexpr std::size_t kMaxFrameBytes = 1010;
inline constexpr std::size_t kMaxTextLength = 999;
inline constexpr std::size_t kStatusAnswerBytes = 21;

// Document digit of a status answer (offset 14).
enum class DocumentDigit : char {
  None = '0',
  FiscalReceipt = '1',
  PaymentIncomplete = '2',
  ReceiptEnding = '4',
  NonFiscal = '9',
};

struct StatusAnswer {
  bool error = false;    // "E" instead of "O"
  char condition = '-';  // offset 8
  int error_number = 0;  // offsets 9-12
  DocumentDigit document = DocumentDigit::None;
  bool further = false;  // offset 15
  bool operator==(const StatusAnswer&) const = default;
};

// XOR of the bytes from the first STX up to the byte before `end` (exclusive).
std::uint8_t XorCheck(const std::uint8_t* begin, const std::uint8_t* end);
// The two upper-case hexadecimal digits of a check value.
std::string CheckDigits(std::uint8_t check);

// `sequence` is the digit of the frame answered, or '-'. `corrupt_check` writes a wrong check
// (the fault "wrong block check").
Bytes EncodeStatusAnswer(const StatusAnswer& answer, char sequence, bool corrupt_check = false);
// A data answer: kind then the answer data (at most kMaxTextLength - 1 characters; longer data
// is cut). Control bytes in the data are written as "?" so the frame stays readable.
Bytes EncodeDataAnswer(char kind, std::string_view data, bool corrupt_check = false);
// Data lines, each followed by CR LF; control bytes in a line become "?".
Bytes EncodeDataLines(const std::vector<std::string>& lines);

// A command frame as the control builds it (for tests and tools).
Bytes EncodeCommandFrame(std::string_view text, char sequence);

// Characters that must not appear inside frames and data lines become "?".
std::string Printable(std::string_view text);

}  // namespace velka::sim
