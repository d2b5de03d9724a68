#include "control/link/frame_codec.h"

namespace velka::link {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::uint8_t CheckDigitValue(std::uint8_t digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
  return 0;  // lower case included: such a check never matches
}

void PutLength(Bytes& frame, std::size_t at, std::size_t length) {
  frame[at] = static_cast<std::uint8_t>('0' + length / 100);
  frame[at + 1] = static_cast<std::uint8_t>('0' + length / 10 % 10);
  frame[at + 2] = static_cast<std::uint8_t>('0' + length % 10);
}

}  // namespace

bool IsVFrame(std::string_view command) {
  return command.starts_with(">>/?S") || command.starts_with("=W");
}

Bytes BuildCommandFrame(std::string_view command, std::int16_t& PackID) {
  const std::size_t length = command.size();
  if (length > kMaxCommandLength) return {};

  Bytes frame(length + kCommandFrameOverhead);
  frame[0] = STX;
  frame[1] = '0';
  frame[2] = '1';
  PutLength(frame, 3, length);
  frame[6] = IsVFrame(command) ? 'V' : 'N';
  for (std::size_t i = 0; i < length; ++i) frame[7 + i] = static_cast<std::uint8_t>(command[i]);

  const std::int16_t sequence = (PackID >= 0 && PackID <= 9) ? PackID : 0;
  frame[7 + length] = static_cast<std::uint8_t>('0' + sequence);
  PackID = sequence >= 9 ? 0 : static_cast<std::int16_t>(sequence + 1);

  frame[10 + length] = ETX;
  const std::uint8_t check = BlockCheck(frame);
  frame[8 + length] = static_cast<std::uint8_t>(kHexDigits[check >> 4]);
  frame[9 + length] = static_cast<std::uint8_t>(kHexDigits[check & 0x0F]);
  return frame;
}

std::uint8_t BlockCheck(const Bytes& buffer) {
  std::uint8_t value = 0;
  bool started = false;
  // The last three bytes (two check digits and the closing ETX) never count.
  for (std::size_t i = 0; i + 3 < buffer.size(); ++i) {
    const std::uint8_t byte = buffer[i];
    if (byte == STX) started = true;
    if (byte == ETX) break;
    if (started) value ^= byte;
  }
  return value;
}

std::uint8_t DecodeCheckValue(std::uint8_t high, std::uint8_t low) {
  return static_cast<std::uint8_t>(CheckDigitValue(high) * 16 + CheckDigitValue(low));
}

std::string FrameText(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace velka::link
