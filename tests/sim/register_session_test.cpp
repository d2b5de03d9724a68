#include "sim/register_session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/sim/answer_view.h"

namespace velka::sim {
namespace {

using testing::ReadAnswer;

// Drives a session on virtual time with a line of infinite speed.
class Session : public ::testing::Test {
 protected:
  struct Sent {
    Millis at;
    Bytes bytes;
  };

  void runFor(Millis duration_ms) {
    const Millis end = now + duration_ms;
    for (;;) {
      for (Bytes b = session.transmit(now); !b.empty(); b = session.transmit(now)) {
        sent.push_back({now, b});
        session.lineFree(now);
      }
      const std::optional<Millis> next = session.nextWakeup();
      if (!next || *next > end) break;
      now = std::max(now, *next);
    }
    now = end;
  }
  void command(const std::string& text, char sequence) {
    session.receive(EncodeCommandFrame(text, sequence), now);
    runFor(0);
  }
  void reply(std::uint8_t byte) {
    session.receive(Bytes{byte}, now);
    runFor(0);
  }
  std::vector<Bytes> takeSent() {
    std::vector<Bytes> out;
    for (const Sent& s : sent) out.push_back(s.bytes);
    sent.clear();
    return out;
  }
  int linesInReceipt() {
    const Outcome out = model.execute("<</?r", now);
    return std::stoi(std::get<DataAnswer>(out.answers.at(0)).data.substr(0, 3));
  }

  Millis now = 0;
  RegisterModel model{LocalDateTime{2026, 12, 6, 18, 30, 0}, 0};
  RegisterSession session{model, 200};
  std::vector<Sent> sent;
};

const Bytes kAck{ACK};
const Bytes kNack{NACK};

TEST_F(Session, GoodFrameGetsAckThenItsAnswer) {
  command("<</?s", '0');
  const auto out = takeSent();
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0], kAck);
  const auto view = ReadAnswer(out[1]);
  EXPECT_TRUE(view.check_ok);
  EXPECT_EQ(view.kind, 's');
  EXPECT_EQ(view.answer_data.substr(4, 2), "00");
}

TEST_F(Session, BadFrameGetsNackAndRunsNothing) {
  Bytes frame = EncodeCommandFrame("=R/$1", '0');
  frame[frame.size() - 2] ^= 1;  // one bit of the check
  session.receive(frame, now);
  runFor(0);
  EXPECT_EQ(takeSent(), std::vector<Bytes>{kNack});
  EXPECT_EQ(linesInReceipt(), 0);
}

TEST_F(Session, FrameWithoutAcknowledgementGetsNoReplyButIsExecuted) {
  model.injectErrors(17, 1);
  command(">>/?S/$3", '4');
  EXPECT_TRUE(takeSent().empty());
  EXPECT_EQ(model.state().s_settings, ">>/?S/$3");
  EXPECT_EQ(model.injectedErrorsLeft(), 1);  // kept for a command whose answer is read
}

TEST_F(Session, NackFaultRefusesTheNextFramesUnexecuted) {
  session.faults().nack = 2;
  command("=R/$1", '1');
  command("=R/$1", '1');
  command("=R/$1", '1');
  const auto out = takeSent();
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[0], kNack);
  EXPECT_EQ(out[1], kNack);
  EXPECT_EQ(out[2], kAck);
  EXPECT_EQ(linesInReceipt(), 1);
}

TEST_F(Session, NoAckFaultAnswersWithoutAckAndIgnoresTheControlsNack) {
  session.faults().noack = true;
  command("=R/$1", '1');
  reply(NACK);  // the control's reply to a frame it saw no ACK for
  runFor(1000);
  const auto out = takeSent();
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(ReadAnswer(out[0]).kind, 'O');
}

TEST_F(Session, WrongCheckFaultAndTheAnswerSentAgainAfterNack) {
  session.faults().badbcc = 1;
  command("<</?d", '2');
  auto out = takeSent();
  ASSERT_EQ(out.size(), 2u);
  EXPECT_FALSE(ReadAnswer(out[1]).check_ok);
  reply(NACK);
  out = takeSent();
  ASSERT_EQ(out.size(), 1u);
  EXPECT_TRUE(ReadAnswer(out[0]).check_ok);
  EXPECT_EQ(ReadAnswer(out[0]).kind, 'd');
  // Repeated twice at most.
  reply(NACK);
  reply(NACK);
  reply(NACK);
  EXPECT_EQ(takeSent().size(), 1u);
}

TEST_F(Session, CorruptedAnswerWithoutAVerdictIsSentAgainAfterTheGap) {
  session.faults().badbcc = 1;
  command("<</?d", '2');
  runFor(1000);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_FALSE(ReadAnswer(sent[1].bytes).check_ok);
  EXPECT_EQ(sent[2].at, 200);
  EXPECT_TRUE(ReadAnswer(sent[2].bytes).check_ok);
  // A good answer without a verdict is not repeated.
  sent.clear();
  command("<</?d", '3');
  runFor(1000);
  EXPECT_EQ(sent.size(), 2u);
}

TEST_F(Session, PauseDelaysTheAnswerNotTheAck) {
  session.faults().pause_ms = 500;
  command("<</?s", '3');
  runFor(1000);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].at, 0);
  EXPECT_EQ(sent[1].at, 500);
}

TEST_F(Session, SilenceSendsAndRunsNothing) {
  session.faults().silence = true;
  command("=R/$1", '1');
  Bytes bad = EncodeCommandFrame("=R/$1", '2');
  bad[6] = 'Q';
  session.receive(bad, now);
  runFor(5000);
  EXPECT_TRUE(sent.empty());
  EXPECT_EQ(linesInReceipt(), 0);
}

TEST_F(Session, LostAckExecutesOnceAndTheRetransmissionGetsTheStoredAnswer) {
  session.faults().loseack = 1;
  command("=R/$1", '5');
  runFor(3000);
  EXPECT_TRUE(takeSent().empty());
  EXPECT_EQ(linesInReceipt(), 1);
  command("=R/$1", '5');  // the control's second attempt: same digit, same text
  const auto out = takeSent();
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0], kAck);
  EXPECT_EQ(ReadAnswer(out[1]).kind, 'O');
  EXPECT_EQ(linesInReceipt(), 1);
  command("=R/$1", '6');  // a new frame with the same text is a new sale
  EXPECT_EQ(linesInReceipt(), 2);
}

// A register takes any frame with the digit of the last one it carried out for that frame sent
// again, whatever its text; it keeps the digit when the control closes the line, as it never
// learns that its host went away.
TEST_F(Session, RepeatedSequenceDigitIsARetransmissionWhateverTheText) {
  command("=R/$1", '4');
  takeSent();
  command("<</?s", '4');  // a restarted control reusing the digit
  auto out = takeSent();
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(ReadAnswer(out[1]).kind, 'O');  // the sale's stored answer, not a status
  session.reset();
  command("=R/$2", '4');
  EXPECT_EQ(takeSent().size(), 2u);
  EXPECT_EQ(linesInReceipt(), 1);
  command("<</?s", '5');
  out = takeSent();
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(ReadAnswer(out[1]).kind, 's');
  // A frame without acknowledgement takes a digit too: the frame after it, ten digits on, is
  // new.
  for (char digit = '6'; digit <= '9'; ++digit) command(">>/?S/(DISPLAY)", digit);
  for (char digit = '0'; digit <= '5'; ++digit) command(">>/?S/(DISPLAY)", digit);
  EXPECT_TRUE(takeSent().empty());
  command("=R/$3", '6');
  EXPECT_EQ(linesInReceipt(), 2);
}

TEST_F(Session, LostAnswerFaultExecutesAndAcknowledgesOnly) {
  session.faults().loseanswer = 1;
  command("=R/$1", '1');
  runFor(3000);
  EXPECT_EQ(takeSent(), std::vector<Bytes>{kAck});
  EXPECT_EQ(linesInReceipt(), 1);
  command("=R/$1", '2');
  EXPECT_EQ(takeSent().size(), 2u);
  EXPECT_EQ(linesInReceipt(), 2);
}

TEST_F(Session, AnswerFramesOfOneCommandWaitForTheVerdictOrTheGap) {
  for (const char* c : {"=R/$1", "=T", "=C3", "=C10", "=C1"}) model.execute(c, now);
  command("<</?f", '7');  // ACK, "|" header, "|" Z record, closing status
  runFor(1000);
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[1].at, 0);
  EXPECT_EQ(sent[2].at, 200);  // no verdict: the gap
  EXPECT_EQ(sent[3].at, 400);
  EXPECT_EQ(ReadAnswer(sent[1].bytes).kind, '|');
  EXPECT_EQ(ReadAnswer(sent[3].bytes).kind, 'O');
  sent.clear();
  command("<</?f", '8');
  now += 10;
  reply(ACK);  // a control that acknowledges answers gets the next one at once
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[2].at - sent[1].at, 10);
}

TEST_F(Session, StreamOfDataLinesFollowsItsAckAfterALead) {
  command("<</?m", '1');
  runFor(1000);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].bytes, kAck);
  EXPECT_EQ(sent[1].at, RegisterSession::kStreamLeadMs);
  const Bytes& stream = sent[1].bytes;
  // A first line of 32 characters: CR LF at offsets 32 and 33 of the stream (33, 34 after
  // the ACK, where the control looks), and a 21-byte status at the end.
  EXPECT_EQ(stream[32], CR);
  EXPECT_EQ(stream[33], LF);
  const Bytes closing(stream.end() - 21, stream.end());
  EXPECT_TRUE(ReadAnswer(closing).check_ok);
  EXPECT_EQ(ReadAnswer(closing).kind, 'O');
}

TEST_F(Session, NewFrameDropsWhatWasLeftOfTheLastAnswer) {
  for (const char* c : {"=R/$1", "=T", "=C3", "=C10", "=C1"}) model.execute(c, now);
  command("<</?f", '1');
  runFor(50);
  command("<</?s", '2');
  runFor(2000);
  const auto out = takeSent();
  ASSERT_EQ(out.size(), 4u);  // ACK, "|", then ACK and the status answer
  EXPECT_EQ(ReadAnswer(out[3]).kind, 's');
}

TEST_F(Session, ClearingReportComesAtLeastOneGapAfterTheConditionAnswer) {
  model.setCondition(Condition::CoverOpen, true, now);
  command("=R/$1", '3');
  auto out = takeSent();
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(ReadAnswer(out[1]).condition, 'C');
  EXPECT_EQ(ReadAnswer(out[1]).at15, '1');
  now += 10;
  session.report(model.setCondition(Condition::CoverOpen, false, now), now);
  runFor(1000);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].at, 200);
  const auto report = ReadAnswer(sent[0].bytes);
  EXPECT_EQ(report.kind, 'O');
  EXPECT_EQ(report.at15, '0');
  EXPECT_EQ(linesInReceipt(), 1);
}

TEST_F(Session, ReportsFromTheControlOutsideAnAnswerAreIgnored) {
  reply(ACK);
  reply(NACK);
  session.receive(testing::ToBytes("noise"), now);
  runFor(1000);
  EXPECT_TRUE(sent.empty());
}

}  // namespace
}  // namespace velka::sim
