#pragma once
// The tests' own block check of a register frame, written apart from the control's codec and
// from the simulator's encoder so that the tests cross-check both: the XOR of the bytes from
// the first STX (itself included) up to the first ETX (excluded), never reaching the last
// three bytes of the frame (the two check digits and the closing ETX), written as two
// upper-case hexadecimal digits, high nibble first.
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace velka::testing {

using FrameBytes = std::vector<std::uint8_t>;

inline std::uint8_t ExpectedBlockCheck(const FrameBytes& frame) {
  std::uint8_t check = 0;
  bool inside = false;
  for (std::size_t i = 0; i + 3 < frame.size(); ++i) {
    if (frame[i] == 0x02) inside = true;
    if (frame[i] == 0x03) break;
    if (inside) check ^= frame[i];
  }
  return check;
}

inline std::uint8_t HexDigit(unsigned value) {
  return static_cast<std::uint8_t>("0123456789ABCDEF"[value & 0x0F]);
}

// True when the two bytes before the last are the upper-case digits of the expected check.
inline bool BlockCheckMatches(const FrameBytes& frame) {
  if (frame.size() < 3) return false;
  const std::uint8_t check = ExpectedBlockCheck(frame);
  return frame[frame.size() - 3] == HexDigit(check >> 4) &&
         frame[frame.size() - 2] == HexDigit(check);
}

// The frame with its check digits written afresh, after a test changed a byte it covers.
inline FrameBytes Rechecked(FrameBytes frame) {
  if (frame.size() < 3) return frame;
  const std::uint8_t check = ExpectedBlockCheck(frame);
  frame[frame.size() - 3] = HexDigit(check >> 4);
  frame[frame.size() - 2] = HexDigit(check);
  return frame;
}

// The body (STX up to the last byte the check covers) closed with its check digits and ETX.
inline FrameBytes Closed(std::string_view body) {
  FrameBytes frame(body.begin(), body.end());
  frame.insert(frame.end(), {'0', '0', 0x03});
  return Rechecked(std::move(frame));
}

// The frame with its low check digit changed, so that its check no longer matches.
inline FrameBytes WithWrongCheck(FrameBytes frame) {
  if (frame.size() < 3) return frame;
  std::uint8_t& low = frame[frame.size() - 2];
  low = low == '0' ? '1' : '0';
  return frame;
}

}  // namespace velka::testing
