#include "control/link/answer_judgement.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>

#include "automation/result_codes.h"
#include "control/link/frame_codec.h"
#include "platform/numeric_text.h"

namespace velka::link {

namespace {

// The data field of every answer starts at s + 7; with the check digits and ETX behind it an
// answer has at least this many bytes from its STX.
constexpr std::size_t kShortestAnswer = 11;

// The register's error number that the control reports as a condition of its own.
constexpr std::int32_t kRegisterError105 = 105;

std::uint8_t At(const Bytes& buffer, std::size_t index) {
  return index < buffer.size() ? buffer[index] : 0;
}

std::int32_t ToInt32(double value) {
  if (std::isnan(value)) return 0;
  constexpr double lo = std::numeric_limits<std::int32_t>::min();
  constexpr double hi = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::trunc(std::clamp(value, lo, hi)));
}

AnswerKind KindOf(std::uint8_t character) {
  switch (character) {
    case 'O':
      return AnswerKind::Status;
    case 'E':
      return AnswerKind::ErrorStatus;
    case '|':
      return AnswerKind::DataLine;
    default:
      return AnswerKind::Data;
  }
}

void ReadStatus(const Bytes& b, std::size_t s, AnswerJudgement& j) {
  if (At(b, s + 13) != '0') return;
  const std::uint8_t state = At(b, s + 14);
  if (state == '2') j.printer_state = printer_state::PaymentIncomplete;
  if (state == '4') j.printer_state = printer_state::ReceiptEnding;
  j.further_answer = At(b, s + 15) == '1';
}

void ReadErrorStatus(const Bytes& b, std::size_t s, AnswerJudgement& j) {
  j.condition = At(b, s + 8);
  j.error_number = FieldNumber(b, s + 9, 4);
  j.reports_when_cleared = At(b, s + 15) == '1';
}

void ReadData(const Bytes& b, std::size_t s, AnswerJudgement& j) {
  const std::int32_t length = FieldNumber(b, s + 3, 3);
  if (length <= 1) return;
  // Characters s + 8 to s + 6 + D; a length field that reaches past the buffer leaves what
  // could be read and marks the answer unreadable.
  const std::size_t first = s + 8;
  const std::size_t end = s + 7 + static_cast<std::size_t>(length);
  const std::size_t available = std::min(end, b.size());
  if (available > first) j.data.assign(b.begin() + first, b.begin() + available);
  j.data_complete = end <= b.size();
}

}  // namespace

std::int32_t FieldNumber(const Bytes& buffer, std::size_t from, std::size_t count) {
  std::string text;
  for (std::size_t i = from; i < from + count && i < buffer.size(); ++i) {
    text.push_back(static_cast<char>(buffer[i]));
  }
  return ToInt32(Val(std::string_view(text)));
}

std::size_t AnswerStart(const Bytes& buffer) {
  return buffer.size() >= 2 && buffer[0] == ACK && buffer[1] == STX ? 1 : 0;
}

AnswerJudgement JudgeAnswer(const Bytes& buffer) {
  AnswerJudgement j;
  if (buffer.empty()) return j;
  const std::size_t s = AnswerStart(buffer);
  const std::size_t last = buffer.size() - 1;
  j.start = s;
  if (buffer[s] != STX || buffer[last] != ETX || last < s + kShortestAnswer - 1) return j;

  j.kind = KindOf(buffer[s + 7]);
  // Status answers are read up to s + 15: a shorter one is not a status answer at all.
  const bool status = j.kind == AnswerKind::Status || j.kind == AnswerKind::ErrorStatus;
  if (status && last - s + 1 < kStatusAnswerLength) return j;

  if (DecodeCheckValue(buffer[last - 2], buffer[last - 1]) != BlockCheck(buffer)) {
    j.verdict = AnswerVerdict::BlockCheckFault;
    return j;
  }
  j.verdict = AnswerVerdict::Accepted;
  switch (j.kind) {
    case AnswerKind::Status:
      ReadStatus(buffer, s, j);
      break;
    case AnswerKind::ErrorStatus:
      ReadErrorStatus(buffer, s, j);
      break;
    case AnswerKind::DataLine:
    case AnswerKind::Data:
      ReadData(buffer, s, j);
      break;
  }
  return j;
}

ErrorCondition ErrorConditionOf(std::uint8_t condition, std::int32_t error_number) {
  if (condition == 'P') return {status::PaperOut, extended::PaperOut, false};
  if (condition == 'C') return {status::CoverOpen, extended::CoverOpen, false};
  if (error_number == kRegisterError105) return {status::Error105, extended::Error105, true};
  return {std::nullopt, error_number, true};
}

std::int32_t ClearedStatusOf(std::int32_t code) {
  switch (code) {
    case extended::PaperOut:
      return status::PaperReplaced;
    case extended::CoverOpen:
      return status::CoverClosed;
    case extended::Error105:
      return status::Error105Cleared;
    default:
      return status::Idle;
  }
}

bool IsCompleteClearingAnswer(const Bytes& collection) {
  return collection.size() >= kStatusAnswerLength &&
         std::find(collection.begin(), collection.end(), ETX) != collection.end();
}

ClearingAnswer JudgeClearingAnswer(const Bytes& answer) {
  const std::size_t o = !answer.empty() && answer[0] == ACK ? 1 : 0;
  if (At(answer, o + 7) == 'O' && At(answer, o + 15) == '0') return ClearingAnswer::Cleared;
  if (At(answer, o + 7) == 'E') return ClearingAnswer::StillInError;
  return ClearingAnswer::Other;
}

}  // namespace velka::link
