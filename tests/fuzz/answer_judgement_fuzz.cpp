// Any buffer to the judgement of an answer: no crash, a verdict consistent with the bytes,
// and the same verdict when an ACK stands in front of the frame (the ACK is no part of it).
#include <cstddef>
#include <cstdint>

#include "automation/result_codes.h"
#include "control/link/answer_judgement.h"
#include "control/link/frame_codec.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

using namespace velka;
using fuzz::Require;

void CheckConsistent(const Bytes& buffer, const link::AnswerJudgement& j) {
  Require(j.start == link::AnswerStart(buffer));
  Require(j.start <= 1);
  Require(j.data.size() <= buffer.size());
  if (j.verdict != link::AnswerVerdict::Accepted) return;
  Require(buffer.size() >= j.start + 11);
  Require(buffer[j.start] == link::STX && buffer.back() == link::ETX);
  switch (j.kind) {
    case link::AnswerKind::Status:
      Require(buffer.size() >= j.start + link::kStatusAnswerLength);
      Require(!j.printer_state || *j.printer_state == printer_state::PaymentIncomplete ||
              *j.printer_state == printer_state::ReceiptEnding);
      break;
    case link::AnswerKind::ErrorStatus:
      Require(buffer.size() >= j.start + link::kStatusAnswerLength);
      Require(!j.printer_state);
      break;
    case link::AnswerKind::DataLine:
    case link::AnswerKind::Data:
      Require(!j.printer_state);
      // The data field starts behind the kind character, at s + 8.
      for (std::size_t i = 0; i < j.data.size(); ++i) {
        Require(static_cast<std::uint8_t>(j.data[i]) == buffer[j.start + 8 + i]);
      }
      break;
  }
}

bool SameJudgement(const link::AnswerJudgement& a, const link::AnswerJudgement& b) {
  return a.verdict == b.verdict && a.kind == b.kind && a.printer_state == b.printer_state &&
         a.further_answer == b.further_answer && a.condition == b.condition &&
         a.error_number == b.error_number && a.reports_when_cleared == b.reports_when_cleared &&
         a.data == b.data && a.data_complete == b.data_complete;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Bytes buffer(data, data + size);
  const link::AnswerJudgement judged = link::JudgeAnswer(buffer);
  CheckConsistent(buffer, judged);

  if (!buffer.empty() && buffer[0] == link::STX) {
    Bytes acknowledged = buffer;
    acknowledged.insert(acknowledged.begin(), link::ACK);
    const link::AnswerJudgement behind_ack = link::JudgeAnswer(acknowledged);
    CheckConsistent(acknowledged, behind_ack);
    Require(behind_ack.start == 1);
    Require(SameJudgement(judged, behind_ack));
  }

  if (judged.kind == link::AnswerKind::ErrorStatus) {
    const link::ErrorCondition meaning =
        link::ErrorConditionOf(judged.condition, judged.error_number);
    Require(meaning.extended == extended::PaperOut || meaning.extended == extended::CoverOpen ||
            meaning.extended == extended::Error105 || meaning.extended == judged.error_number);
    Require(meaning.by_error_number == (judged.condition != 'P' && judged.condition != 'C'));
    const std::int32_t cleared = link::ClearedStatusOf(meaning.extended);
    Require(cleared == status::PaperReplaced || cleared == status::CoverClosed ||
            cleared == status::Error105Cleared || cleared == status::Idle);
  }

  if (link::IsCompleteClearingAnswer(buffer)) {
    Require(buffer.size() >= link::kStatusAnswerLength);
    (void)link::JudgeClearingAnswer(buffer);
  }
  // Fields may lie past the end of what was received.
  for (const std::size_t from : {std::size_t{0}, size / 2, size, size + 5}) {
    (void)link::FieldNumber(buffer, from, 4);
  }
  return 0;
}
