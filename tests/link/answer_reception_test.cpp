#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "automation/result_codes.h"
#include "control/link/link_limits.h"
#include "tests/link/link_fixture.h"
#include "tests/support/block_check.h"

namespace velka::testing {
namespace {

class AnswerReception : public LinkTest {};

// The register's error statuses and what the control makes of each: the extended result,
// the status raised when the condition sets in (none for a numbered error), and the one
// raised when the register reports it cleared.
struct RegisterError {
  const char* name;
  char letter;
  const char* number;
  std::int32_t extended;
  std::optional<std::int32_t> raised;
  std::int32_t cleared;
};
const RegisterError kRegisterErrors[] = {
    {"paper out", 'P', "0000", extended::PaperOut, status::PaperOut, status::PaperReplaced},
    {"cover open", 'C', "0000", extended::CoverOpen, status::CoverOpen, status::CoverClosed},
    {"error 105", 'X', "0105", extended::Error105, status::Error105, status::Error105Cleared},
    {"other error number", 'X', "0042", 42, std::nullopt, status::Idle},
    {"blank-led number", 'X', " 317", 317, std::nullopt, status::Idle},
};

TEST_F(AnswerReception, ErrorStatusesSetResultAndRaiseConditions) {
  for (const RegisterError& row : kRegisterErrors) {
    events.statuses.clear();
    state.ResultCode = 0;
    reg.then(R::AckThen(R::ErrorStatus(row.letter, row.number)));
    EXPECT_EQ(link->SendCommand("=R1/$100", false), result::Extended) << row.name;
    EXPECT_EQ(state.ResultCode, result::Extended) << row.name;
    EXPECT_EQ(state.ResultCodeExtended, row.extended) << row.name;
    std::vector<std::int32_t> raised;
    if (row.raised) raised.push_back(*row.raised);
    EXPECT_EQ(events.statuses, raised) << row.name;
    EXPECT_TRUE(events.errors.empty()) << row.name;  // no ErrorEvent in synchronous use
  }
}

TEST_F(AnswerReception, StatusWithFurtherAnswerIsFollowedByTheNext) {
  reg.then({{1, {ACK}}, {20, R::Status('0', '2', '1')}, {400, R::Status('0', '4', '0')}});
  EXPECT_EQ(link->SendCommand("=T1", false), result::Success);
  EXPECT_EQ(state.PrinterState, printer_state::ReceiptEnding);

  // Without "0" at s + 13 nothing is read.
  state.PrinterState = printer_state::FiscalReceipt;
  reg.then(R::AckThen(R::Status('1', '2', '1')));
  EXPECT_EQ(link->SendCommand("=T1", false), result::Success);
  EXPECT_EQ(state.PrinterState, printer_state::FiscalReceipt);
}

TEST_F(AnswerReception, FurtherAnswerAlreadyWaitingIsKept) {
  // The second data line arrives while the host still handles the first.
  events.onEvent = [&](const std::string& event) {
    if (event == "ReceiveDataEvent one") loop.advance(5);
  };
  reg.then({{1, {ACK}}, {20, R::Frame("|one")}, {22, R::Frame("|two")}, {400, R::Status()}});
  EXPECT_EQ(link->SendCommand("<</?D", false), result::Success);
  EXPECT_EQ(events.data, (std::vector<std::u16string>{u"one", u"two"}));
  EXPECT_TRUE(state.DataMode);
}

TEST_F(AnswerReception, DataAnswerLeavesItsDataInAnswerData) {
  struct Row {
    const char* name;
    Bytes answer;
    std::int32_t result;
    std::string data;
  } rows[] = {
      {"data", R::Frame("D06122026"), result::Success, "06122026"},
      {"length 1", R::Frame("D"), result::Success, ""},
      {"single-byte text", R::Frame(std::string("d\x80 10,00")), result::Success,
       std::string("\x80 10,00")},
  };
  for (const Row& row : rows) {
    state.AnswerData = "stale";
    reg.then(R::AckThen(row.answer));
    EXPECT_EQ(link->SendCommand("<</?d", true), row.result) << row.name;
    EXPECT_EQ(state.AnswerData, row.data) << row.name;
  }
}

TEST_F(AnswerReception, UnreadableDataAnswerIsRefused) {
  // The length field claims more than the frame holds; the check is right.
  Bytes lying = R::Frame("D12");
  lying[4] = '5';

  state.ReceiveBuffer = Rechecked(lying);
  EXPECT_EQ(link->ReceiveAnswer(true), result::AnswerRefused);
  EXPECT_TRUE(traced("< - Risposta DRIVER KO= NACK"));
  EXPECT_EQ(link->ReplyByte(), NACK);
  EXPECT_EQ(state.AnswerData.substr(0, 2), "12");
  EXPECT_TRUE(state.ReceiveBuffer.empty());
}

TEST_F(AnswerReception, RefusedAnswerIsRecoveredByTheNextWait) {
  const Bytes bad = WithWrongCheck(R::Status());
  reg.then({{1, {ACK}}, {20, bad}, {500, R::Status('0', '4', '0')}});
  EXPECT_EQ(link->SendCommand("=T1", false), result::Success);
  EXPECT_TRUE(traced("< - Risposta BCC KO= NACK"));
  EXPECT_EQ(state.PrinterState, printer_state::ReceiptEnding);
  EXPECT_EQ(framesWritten().size(), 1u);  // the command is not sent again
  EXPECT_TRUE(reg.replyBytes().empty());

  // Refused at every wait.
  reg.then({{1, {ACK}}, {20, bad}, {1000, bad}, {2000, bad}});
  EXPECT_EQ(link->SendCommand("=T1", false), result::AnswerRefused);
}

TEST_F(AnswerReception, ShortStatusAnswerIsAFramingFault) {
  reg.then({{1, {ACK}}, {20, R::Frame("O00")}, {1000, R::Frame("EP0")}, {2000, R::Frame("O")}});
  EXPECT_EQ(link->SendCommand("?s", false), result::AnswerRefused);
  int framing = 0;
  for (const auto& m : traceMessages()) framing += m == "< - Risposta FRAME KO= NACK";
  EXPECT_EQ(framing, 3);
}

TEST_F(AnswerReception, AnswerTimeOutAtEveryWait) {
  reg.then(R::Only({ACK}));
  const Millis start = loop.now();
  EXPECT_EQ(link->SendCommand("?s", false), result::Timeout);
  const Millis elapsed = loop.now() - start;
  EXPECT_GE(elapsed, 3 * link::kAnswerWaitMs);
  EXPECT_LE(elapsed, 3 * link::kAnswerWaitMs + 100);
  EXPECT_TRUE(state.LinkFree);
}

TEST_F(AnswerReception, NoiseWithoutEtxFailsWithBoundedMemory) {
  std::size_t largest = 0;
  auto sampler = loop.createTimer([&] { largest = std::max(largest, state.ReceiveBuffer.size()); });
  sampler->setInterval(100);
  sampler->start();
  ScriptedRegister::Reply noise{{1, {ACK}}};
  for (int i = 0; i < 60; ++i) noise.push_back({20 + 100 * i, Bytes(512, 'n')});
  reg.then(noise);
  const std::int32_t outcome = link->SendCommand("?s", false);
  EXPECT_TRUE(outcome == result::AnswerRefused || outcome == result::Timeout) << outcome;
  EXPECT_TRUE(traced("< - Risposta FRAME KO= NACK"));
  EXPECT_LE(largest, link::kMaxFrameBuffer + 512);
  EXPECT_TRUE(state.ReceiveBuffer.empty());
}

TEST_F(AnswerReception, AsynchronousErrorGoesToTheHost) {
  state.AsyncMode = true;
  struct Row {
    const char* name;
    std::int32_t response;
    std::int32_t result;
    std::int32_t queue_next;
    std::int32_t extended;
  } rows[] = {
      {"host clears the error", kErrorResponseClear, result::Success, 1, 0},
      {"host leaves it", 0, result::Extended, 0, 42},
  };
  for (const Row& row : rows) {
    events.errors.clear();
    events.answerErrorsWith(row.response);
    state.CommandQueue = {"0000000007=R1/$100", "0000000008=T1"};
    state.QueueLast = 1;
    state.QueueNext = 0;
    state.ReceiveBuffer = R::Join({{ACK}, R::ErrorStatus('X', "0042")});
    EXPECT_EQ(link->ReceiveAnswer(false), row.result) << row.name;
    ASSERT_EQ(events.errors.size(), 1u) << row.name;
    EXPECT_EQ(events.errors[0].code, result::Extended) << row.name;
    EXPECT_EQ(events.errors[0].extended, 42) << row.name;
    EXPECT_EQ(state.ErrorOutID, 7) << row.name;
    EXPECT_EQ(state.QueueNext, row.queue_next) << row.name;
    EXPECT_EQ(state.ResultCodeExtended, row.extended) << row.name;
  }

  // Error 105 is a condition of its own: no ErrorEvent.
  events.errors.clear();
  state.ReceiveBuffer = R::ErrorStatus('X', "0105");
  EXPECT_EQ(link->ReceiveAnswer(false), result::Extended);
  EXPECT_TRUE(events.errors.empty());
  EXPECT_EQ(state.ResultCodeExtended, extended::Error105);
}

TEST_F(AnswerReception, ReceiveAnswerStopsReceiveEvents) {
  port.setReceiveThreshold(1);
  state.ReceiveBuffer = R::Status();
  EXPECT_EQ(link->ReceiveAnswer(false), result::Success);
  EXPECT_EQ(port.receiveThreshold(), 0);
}

TEST_F(AnswerReception, ClearingWaitEndsWhenTheRegisterReportsTheConditionCleared) {
  for (const RegisterError& row : kRegisterErrors) {
    events.statuses.clear();
    // The register repeats its error status, then reports the condition cleared.
    reg.then({{1, {ACK}},
              {20, R::ErrorStatus(row.letter, row.number, true)},
              {5000, R::ErrorStatus(row.letter, row.number, true)},
              {9000, R::Status()}});
    const Millis start = loop.now();
    EXPECT_EQ(link->SendCommand("=R1/$100", false), result::Success) << row.name;
    EXPECT_GE(loop.now() - start, 9000) << row.name;
    EXPECT_EQ(state.ResultCode, result::Success) << row.name;
    EXPECT_EQ(state.ResultCodeExtended, 0) << row.name;
    std::vector<std::int32_t> expected;
    if (row.raised) expected.push_back(*row.raised);
    expected.push_back(row.cleared);
    EXPECT_EQ(events.statuses, expected) << row.name;
  }
}

TEST_F(AnswerReception, ClearingWaitIsBounded) {
  int ticks = 0;
  auto host_timer = loop.createTimer([&] { ++ticks; });
  host_timer->setInterval(10000);
  host_timer->start();
  reg.then(R::AckThen(R::ErrorStatus('P', "0000", true)));
  const Millis start = loop.now();
  EXPECT_EQ(link->SendCommand("=R1/$100", false), result::Extended);
  const Millis elapsed = loop.now() - start;
  EXPECT_GE(elapsed, link::kClearingWaitMs);
  EXPECT_LE(elapsed, link::kClearingWaitMs + 100);
  EXPECT_EQ(state.ResultCode, result::Extended);
  EXPECT_EQ(state.ResultCodeExtended, extended::PaperOut);
  EXPECT_TRUE(traced("> - Attesa ripristino TIMEOUT"));
  EXPECT_GE(ticks, 11);  // events kept running
  EXPECT_EQ(events.statuses, std::vector<std::int32_t>{status::PaperOut});
}

// A cover left open or paper run out waits for the operator as long as the host allows;
// error 105, which the application clears, keeps the link's own bound.
TEST_F(AnswerReception, OperatorConditionsWaitTheOperatorBound) {
  constexpr Millis kOperatorWaitMs = 10 * 60 * 1000;
  link->setOperatorWaitMs(kOperatorWaitMs);
  const struct {
    char letter;
    const char* number;
    std::int32_t extended;
    Millis bound;
  } rows[] = {
      {'C', "0000", extended::CoverOpen, kOperatorWaitMs},
      {'P', "0000", extended::PaperOut, kOperatorWaitMs},
      {'X', "0105", extended::Error105, link::kClearingWaitMs},
  };
  for (const auto& row : rows) {
    reg.then(R::AckThen(R::ErrorStatus(row.letter, row.number, true)));
    const Millis start = loop.now();
    EXPECT_EQ(link->SendCommand("=R1/$100", false), result::Extended) << row.letter;
    EXPECT_GE(loop.now() - start, row.bound) << row.letter;
    EXPECT_LE(loop.now() - start, row.bound + 100) << row.letter;
    EXPECT_EQ(state.ResultCodeExtended, row.extended) << row.letter;
  }
  // Cleared within the bound: the held line went through.
  reg.then({{1, {ACK}}, {20, R::ErrorStatus('C', "0000", true)}, {300000, R::Status()}});
  EXPECT_EQ(link->SendCommand("=R1/$100", false), result::Success);
}

// The digit each frame takes is handed on before the frame leaves: a host that keeps it never
// starts again with the digit of the register's last frame.
TEST_F(AnswerReception, EveryFrameHandsOnTheNextSequenceDigit) {
  std::vector<std::int16_t> kept;
  std::size_t written_when_kept = 0;
  link->setSequenceDigitKeeper([&](std::int16_t next) {
    kept.push_back(next);
    written_when_kept = framesWritten().size();
  });
  state.PackID = 8;
  for (int i = 0; i < 3; ++i) {
    reg.then(R::AckThen(R::Status()));
    EXPECT_EQ(link->SendCommand("<</?s", false), result::Success);
    EXPECT_EQ(written_when_kept, static_cast<std::size_t>(i));
  }
  EXPECT_EQ(kept, (std::vector<std::int16_t>{9, 0, 1}));
}

TEST_F(AnswerReception, ClearingWaitDropsNoiseAndSurvivesAClosedPort) {
  // Noise without ETX is dropped each time it passes the frame limit; here it stops right
  // after the second drop.
  ScriptedRegister::Reply reply{{1, {ACK}}, {20, R::ErrorStatus('C', "0000", true)}};
  const int chunks_per_drop = static_cast<int>(link::kMaxFrameBuffer / 512) + 1;
  for (int i = 0; i < 2 * chunks_per_drop; ++i) reply.push_back({100 + 100 * i, Bytes(512, 'n')});
  reply.push_back({5000, R::Status()});
  reg.then(reply);
  EXPECT_EQ(link->SendCommand("=R1/$100", false), result::Success);
  EXPECT_EQ(state.ResultCodeExtended, 0);

  auto closer = loop.createTimer([&] { port.close(); });
  closer->setInterval(3000);
  closer->start();
  reg.then(R::AckThen(R::ErrorStatus('C', "0000", true)));
  const Millis start = loop.now();
  EXPECT_EQ(link->SendCommand("=R1/$100", false), result::Extended);
  EXPECT_LE(loop.now() - start, 3100);
  EXPECT_TRUE(state.LinkFree);
}

}  // namespace
}  // namespace velka::testing
