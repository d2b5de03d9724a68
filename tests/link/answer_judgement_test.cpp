#include "control/link/answer_judgement.h"

#include <gtest/gtest.h>

#include <string>

#include "automation/result_codes.h"
#include "control/link/frame_codec.h"
#include "tests/support/block_check.h"
#include "tests/support/scripted_register.h"

namespace velka::link {
namespace {

using testing::Rechecked;
using testing::WithWrongCheck;

using R = ScriptedRegister;

Bytes Cat(std::initializer_list<Bytes> parts) {
  return R::Join(parts);
}
Bytes B(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

bool IsHexLetter(std::uint8_t c) {
  return c >= 'A' && c <= 'F';
}

// A status answer whose check digits hold a letter, written in lower case.
Bytes LowerCaseCheckStatus() {
  for (char c = '0'; c <= '9'; ++c) {
    Bytes frame = R::Frame(std::string("O0000001") + c + "0");
    bool letter = false;
    for (std::size_t i = frame.size() - 3; i < frame.size() - 1; ++i) {
      if (IsHexLetter(frame[i])) {
        frame[i] = static_cast<std::uint8_t>(frame[i] + ('a' - 'A'));
        letter = true;
      }
    }
    if (letter) return frame;
  }
  ADD_FAILURE() << "no check value with a letter";
  return {};
}

Bytes FirstHalf(const Bytes& frame) {
  return Bytes(frame.begin(), frame.begin() + 9);
}

TEST(AnswerJudgement, TableOfBuffers) {
  const Bytes status = R::Status();
  const Bytes other_status = R::Status('0', '4', '0');
  struct Row {
    const char* name;
    Bytes buffer;
    AnswerVerdict verdict;
    std::size_t start;
  } rows[] = {
      {"status answer", status, AnswerVerdict::Accepted, 0},
      {"ACK then status answer", Cat({{ACK}, status}), AnswerVerdict::Accepted, 1},
      {"garbage before STX", Cat({B("xy"), status}), AnswerVerdict::FramingFault, 0},
      {"garbage before ACK STX", Cat({B("x"), {ACK}, status}), AnswerVerdict::FramingFault, 0},
      {"NACK then status", Cat({{NACK}, status}), AnswerVerdict::FramingFault, 0},
      {"bytes after ETX", Cat({status, B("z")}), AnswerVerdict::FramingFault, 0},
      {"first half of a split read", FirstHalf(status), AnswerVerdict::FramingFault, 0},
      {"second half of a split read", Bytes(status.begin() + 9, status.end()),
       AnswerVerdict::FramingFault, 0},
      {"lower-case check digits", LowerCaseCheckStatus(), AnswerVerdict::BlockCheckFault, 0},
      {"wrong check digit", WithWrongCheck(status), AnswerVerdict::BlockCheckFault, 0},
      {"ACK then wrong check", Cat({{ACK}, WithWrongCheck(status)}), AnswerVerdict::BlockCheckFault,
       1},
      {"two different frames in one buffer", Cat({status, other_status}),
       AnswerVerdict::BlockCheckFault, 0},
      // The check runs to the first ETX, so the first frame's own check digits enter it.
      {"two equal frames in one buffer", Cat({status, status}), AnswerVerdict::BlockCheckFault, 0},
      {"status answer of 19 bytes", R::Frame("O0000000"), AnswerVerdict::FramingFault, 0},
      {"error status of 20 bytes", R::Frame("EP0000000"), AnswerVerdict::FramingFault, 0},
      {"ACK then short status", Cat({{ACK}, R::Frame("O00")}), AnswerVerdict::FramingFault, 1},
      {"STX ETX", {STX, ETX}, AnswerVerdict::FramingFault, 0},
      {"lone ETX", {ETX}, AnswerVerdict::FramingFault, 0},
      {"lone ACK", {ACK}, AnswerVerdict::FramingFault, 0},
      {"empty", {}, AnswerVerdict::FramingFault, 0},
      {"shortest data answer", R::Frame("D"), AnswerVerdict::Accepted, 0},
      {"data answer", R::Frame("D12345"), AnswerVerdict::Accepted, 0},
      {"data line", Cat({{ACK}, R::Frame("|one line")}), AnswerVerdict::Accepted, 1},
  };
  int failing = 0;
  for (const Row& row : rows) {
    const AnswerJudgement j = JudgeAnswer(row.buffer);
    EXPECT_EQ(j.verdict, row.verdict) << row.name;
    EXPECT_EQ(j.start, row.start) << row.name;
    failing += j.verdict != row.verdict;
  }
  EXPECT_EQ(failing, 0);
}

TEST(AnswerJudgement, StatusFields) {
  struct Row {
    const char* name;
    Bytes buffer;
    std::optional<std::int32_t> printer_state;
    bool further;
  } rows[] = {
      {"idle", R::Status('0', '1', '0'), std::nullopt, false},
      {"payment incomplete", R::Status('0', '2', '0'), printer_state::PaymentIncomplete, false},
      {"receipt ending", R::Status('0', '4', '0'), printer_state::ReceiptEnding, false},
      {"further answer", R::Status('0', '1', '1'), std::nullopt, true},
      {"payment incomplete, further", R::Status('0', '2', '1'), printer_state::PaymentIncomplete,
       true},
      {"not evaluated without 0 at s+13", R::Status('1', '2', '1'), std::nullopt, false},
      {"after ACK", Cat({{ACK}, R::Status('0', '4', '1')}), printer_state::ReceiptEnding, true},
  };
  for (const Row& row : rows) {
    const AnswerJudgement j = JudgeAnswer(row.buffer);
    ASSERT_EQ(j.verdict, AnswerVerdict::Accepted) << row.name;
    EXPECT_EQ(j.kind, AnswerKind::Status) << row.name;
    EXPECT_EQ(j.printer_state, row.printer_state) << row.name;
    EXPECT_EQ(j.further_answer, row.further) << row.name;
  }
}

TEST(AnswerJudgement, ErrorStatusFields) {
  const AnswerJudgement paper = JudgeAnswer(R::ErrorStatus('P', "0000", true));
  EXPECT_EQ(paper.kind, AnswerKind::ErrorStatus);
  EXPECT_EQ(paper.condition, 'P');
  EXPECT_TRUE(paper.reports_when_cleared);

  const AnswerJudgement number = JudgeAnswer(R::ErrorStatus('X', "0105"));
  EXPECT_EQ(number.error_number, 105);
  EXPECT_FALSE(number.reports_when_cleared);
  EXPECT_EQ(JudgeAnswer(R::ErrorStatus('X', " 42x")).error_number, 42);
  EXPECT_EQ(JudgeAnswer(R::ErrorStatus('X', "abcd")).error_number, 0);
}

TEST(AnswerJudgement, DataField) {
  struct Row {
    const char* name;
    Bytes buffer;
    AnswerKind kind;
    std::string data;
    bool complete;
  } rows[] = {
      {"data answer", R::Frame("D12345"), AnswerKind::Data, "12345", true},
      {"length 1 gives no data", R::Frame("D"), AnswerKind::Data, "", true},
      {"data line", R::Frame("|abc def"), AnswerKind::DataLine, "abc def", true},
  };
  for (const Row& row : rows) {
    const AnswerJudgement j = JudgeAnswer(row.buffer);
    ASSERT_EQ(j.verdict, AnswerVerdict::Accepted) << row.name;
    EXPECT_EQ(j.kind, row.kind) << row.name;
    EXPECT_EQ(j.data, row.data) << row.name;
    EXPECT_EQ(j.data_complete, row.complete) << row.name;
  }

  // A length field that reaches past the end: what is there is read, the answer is unreadable.
  Bytes lying = R::Frame("D12");
  lying[4] = '9';
  lying[5] = '9';
  const AnswerJudgement j = JudgeAnswer(Rechecked(lying));
  ASSERT_EQ(j.verdict, AnswerVerdict::Accepted);
  EXPECT_FALSE(j.data_complete);
  EXPECT_EQ(j.data.substr(0, 2), "12");
}

TEST(AnswerJudgement, ErrorConditions) {
  struct Row {
    std::uint8_t letter;
    std::int32_t number;
    std::optional<std::int32_t> status;
    std::int32_t extended;
    std::int32_t cleared;
  } rows[] = {
      {'P', 7, status::PaperOut, extended::PaperOut, status::PaperReplaced},
      {'C', 7, status::CoverOpen, extended::CoverOpen, status::CoverClosed},
      {'X', 105, status::Error105, extended::Error105, status::Error105Cleared},
      {'X', 77, std::nullopt, 77, status::Idle},
      {'p', 0, std::nullopt, 0, status::Idle},
  };
  for (const Row& row : rows) {
    const ErrorCondition c = ErrorConditionOf(row.letter, row.number);
    EXPECT_EQ(c.status, row.status) << row.letter << row.number;
    EXPECT_EQ(c.extended, row.extended) << row.letter << row.number;
    EXPECT_EQ(ClearedStatusOf(c.extended), row.cleared) << row.letter << row.number;
  }
}

TEST(AnswerJudgement, ClearingAnswers) {
  EXPECT_FALSE(IsCompleteClearingAnswer(FirstHalf(R::Status())));
  EXPECT_FALSE(IsCompleteClearingAnswer(Bytes(25, 'x')));
  EXPECT_TRUE(IsCompleteClearingAnswer(R::Status()));
  EXPECT_TRUE(IsCompleteClearingAnswer(Cat({R::Status(), B("tail")})));

  EXPECT_EQ(JudgeClearingAnswer(R::Status('0', '1', '0')), ClearingAnswer::Cleared);
  EXPECT_EQ(JudgeClearingAnswer(Cat({{ACK}, R::Status('0', '1', '0')})), ClearingAnswer::Cleared);
  EXPECT_EQ(JudgeClearingAnswer(R::Status('0', '1', '1')), ClearingAnswer::Other);
  EXPECT_EQ(JudgeClearingAnswer(R::ErrorStatus('P', "0000", true)), ClearingAnswer::StillInError);
  // No framing or check applies: a wrong check still clears.
  EXPECT_EQ(JudgeClearingAnswer(WithWrongCheck(R::Status())), ClearingAnswer::Cleared);
  EXPECT_EQ(JudgeClearingAnswer(Bytes(21, 'x')), ClearingAnswer::Other);
}

}  // namespace
}  // namespace velka::link
