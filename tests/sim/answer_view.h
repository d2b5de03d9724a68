#pragma once
// Reads an answer frame the way the control does, independently of the simulator's own
// encoder: offsets from STX, the check by the tests' own block check.
#include <cstdint>
#include <string>

#include "sim/register_frames.h"
#include "tests/support/block_check.h"

namespace velka::sim::testing {

struct AnswerView {
  bool framed = false;    // STX first, ETX last
  bool check_ok = false;  // the check digits match
  std::size_t size = 0;
  char kind = 0;
  char condition = 0;
  int error_number = -1;
  char at13 = 0, at14 = 0, at15 = 0;
  std::string answer_data;  // data field without its first character
};

inline AnswerView ReadAnswer(const Bytes& b) {
  AnswerView v;
  v.size = b.size();
  if (b.size() < 10 || b.front() != STX || b.back() != ETX) return v;
  v.framed = true;
  v.check_ok = velka::testing::BlockCheckMatches(b);
  v.kind = static_cast<char>(b[7]);
  const int d = (b[3] - '0') * 100 + (b[4] - '0') * 10 + (b[5] - '0');
  for (int i = 8; i <= 6 + d && i < static_cast<int>(b.size()); ++i) {
    v.answer_data += static_cast<char>(b[i]);
  }
  if (b.size() == kStatusAnswerBytes) {
    v.condition = static_cast<char>(b[8]);
    v.error_number = std::stoi(std::string(b.begin() + 9, b.begin() + 13));
    v.at13 = static_cast<char>(b[13]);
    v.at14 = static_cast<char>(b[14]);
    v.at15 = static_cast<char>(b[15]);
  }
  return v;
}

inline Bytes ToBytes(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

}  // namespace velka::sim::testing
