#pragma once
// The bytes of the register protocol: command frames, the block check, the fields of answer
// frames the control reads. Pure functions of bytes; no waiting, no hidden state.
//
// Command frame of a text of L characters (0 <= L <= 999), L + 11 bytes:
//   STX "01" LLL kind text sequence-digit check(2 upper-case hex) ETX
// kind is "V" (no acknowledgement awaited) for texts beginning ">>/?S" or "=W", else "N".
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/serial_port.h"

namespace velka::link {

inline constexpr std::uint8_t STX = 0x02;
inline constexpr std::uint8_t ETX = 0x03;
inline constexpr std::uint8_t ACK = 0x06;
inline constexpr std::uint8_t NACK = 0x15;
inline constexpr std::uint8_t CR = 0x0D;
inline constexpr std::uint8_t LF = 0x0A;

inline constexpr std::size_t kMaxCommandLength = 999;
inline constexpr std::size_t kCommandFrameOverhead = 11;  // frame bytes around the text
inline constexpr std::size_t kStatusAnswerLength = 21;    // STX to ETX of an "O" or "E" answer

// True for a command text whose frame awaits no acknowledgement.
bool IsVFrame(std::string_view command);

// The frame of a single-byte command text; uses the digit of PackID and advances it (back to
// 0 after 9). A PackID outside 0..9 counts as 0, so the sequence byte is always a digit.
// A text longer than kMaxCommandLength cannot be framed: the result is empty and PackID
// stays; callers refuse such texts before framing.
Bytes BuildCommandFrame(std::string_view command, std::int16_t& PackID);

// XOR of the bytes from the first STX (included) up to the first ETX (excluded), never
// reaching the last three bytes of the buffer.
std::uint8_t BlockCheck(const Bytes& buffer);

// "0"-"9" count 0-9, "A"-"F" 10-15, any other character 0.
std::uint8_t DecodeCheckValue(std::uint8_t high, std::uint8_t low);

// Each byte as the character of the same code, control bytes included.
std::string FrameText(const Bytes& bytes);

}  // namespace velka::link
