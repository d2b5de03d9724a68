// The asynchronous queue: the pump, receive completion and the data timer working off queued
// commands, on virtual time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/link/queue_entry.h"
#include "tests/link/async_link_fixture.h"

namespace velka::testing {
namespace {

class AsyncQueue : public AsyncLinkTest {};

TEST_F(AsyncQueue, ThreeCommandsAreSentOneByOneAndTheQueueDrains) {
  reg.always(R::AckThen(R::Status()));
  queue({"=R1/$1"});
  loop.advance(20);
  queue({"=R1/$2"});
  loop.advance(20);
  const Millis last_queued = loop.now();
  queue({"=T1"});
  EXPECT_EQ(link->queueState(), QueueState::Waiting);

  ASSERT_TRUE(settle());
  EXPECT_EQ(reg.commands(), (std::vector<std::string>{"=R1/$1", "=R1/$2", "=T1"}));
  ASSERT_EQ(reg.frameTimes().size(), 3u);
  // One tick, 50 ms after the last command was queued, sends the first.
  EXPECT_EQ(reg.frameTimes()[0], last_queued + link::kQueuePumpMs);
  // Each completion starts the pump for the next: 20 ms for the answer, then one tick.
  for (std::size_t i = 1; i < 3; ++i) {
    EXPECT_EQ(reg.frameTimes()[i] - reg.frameTimes()[i - 1], 20 + link::kQueuePumpMs) << i;
  }
  EXPECT_EQ(events.log, (Log{"OutputCompleteEvent 1", "OutputCompleteEvent 2",
                             "OutputCompleteEvent 3", "StatusUpdateEvent 1001"}));
  EXPECT_EQ(link->queueState(), QueueState::Empty);
  EXPECT_EQ(state.QueueLast, -1);
  EXPECT_EQ(state.CommandQueue, std::vector<std::string>{""});
  EXPECT_EQ(state.QueueNext, 3);
  EXPECT_EQ(port.receiveThreshold(), 0);
  EXPECT_FALSE(link->tmrData().isActive());

  // The first command queued after the queue drained is number 1 again.
  queue({"=C2"});
  EXPECT_EQ(state.OutputID, 1);
  EXPECT_EQ(state.CommandQueue, std::vector<std::string>{"0000000001=C2"});
  ASSERT_TRUE(settle());
  EXPECT_EQ(events.log.back(), "StatusUpdateEvent 1001");
  EXPECT_EQ(events.log.end()[-2], "OutputCompleteEvent 1");
}

// An entry is never sent again while its answer may still come: a command queued meanwhile
// restarts the pump, whose tick then waits for the answer.
TEST_F(AsyncQueue, NoSecondTransmissionWhileAnAnswerIsAwaited) {
  reg.then(R::AckThen(R::Status(), 5000)).always(R::AckThen(R::Status()));
  queue({"=R1/$1"});
  loop.advance(1000);
  EXPECT_EQ(link->queueState(), QueueState::AwaitingAnswer);
  queue({"=R1/$2"});
  loop.advance(3000);
  EXPECT_EQ(reg.commands(), std::vector<std::string>{"=R1/$1"});
  EXPECT_EQ(link->queueState(), QueueState::AwaitingAnswer);
  EXPECT_TRUE(events.log.empty());

  ASSERT_TRUE(settle());
  EXPECT_EQ(reg.commands(), (std::vector<std::string>{"=R1/$1", "=R1/$2"}));
  EXPECT_EQ(events.log,
            (Log{"OutputCompleteEvent 1", "OutputCompleteEvent 2", "StatusUpdateEvent 1001"}));
}

// No other frame goes out while the register owes an answer; the link is busy until then.
TEST_F(AsyncQueue, DirectExchangeWaitsForTheAwaitedAnswer) {
  reg.then(R::AckThen(R::Status(), 2000)).always(R::AckThen(R::Status()));
  queue({"=R1/$1"});
  loop.advance(500);
  ASSERT_EQ(link->queueState(), QueueState::AwaitingAnswer);
  EXPECT_EQ(link->SendCommand("<</?d", true), result::LinkBusy);
  EXPECT_EQ(reg.commands().size(), 1u);
  ASSERT_TRUE(settle());
  EXPECT_EQ(link->SendCommand("<</?d", true), result::Success);
  EXPECT_EQ(reg.commands().back(), "<</?d");
}

// An answer that came in the same read as the ACK leaves no byte to raise a receive event:
// it is evaluated at the hand-off, not reported missing by the data timer.
TEST_F(AsyncQueue, AnswerWithTheAckIsEvaluatedAtTheHandOff) {
  reg.always(R::Only(R::Join({{ACK}, R::Status()})));
  queue({"=R1/$1", "=T1"});
  ASSERT_TRUE(settle(5000));
  EXPECT_EQ(events.log,
            (Log{"OutputCompleteEvent 1", "OutputCompleteEvent 2", "StatusUpdateEvent 1001"}));
  EXPECT_EQ(event_times[0], reg.frameTimes()[0] + 5);
}

// Commands with no answer to wait for are complete once written, and the queue goes on.
TEST_F(AsyncQueue, CommandWithoutAnswerCompletesWhenSent) {
  struct Row {
    const char* name;
    const char* command;
    bool async_off;  // the host switched asynchronous mode off with the entry queued
  } rows[] = {{"V frame", "=W1", false}, {"sent synchronously", "=R1/$1", true}};
  for (const Row& row : rows) {
    events.log.clear();
    reg.always(R::AckThen(R::Status()));
    state.AsyncMode = true;
    queue({row.command});
    state.AsyncMode = !row.async_off;
    ASSERT_TRUE(settle(20000)) << row.name;
    EXPECT_EQ(events.log, (Log{"OutputCompleteEvent 1", "StatusUpdateEvent 1001"})) << row.name;
  }
}

// The data timer: 30000 ms for the answer, 65535 ms for a command containing "=T4", counted
// from the acknowledgement. The queue halts at the entry; the next command queued sends it
// again.
TEST_F(AsyncQueue, MissingAnswerIsReportedByTheDataTimer) {
  struct Row {
    const char* command;
    Millis limit_ms;
  } rows[] = {{"=T1/$5", link::kQueuedAnswerMs}, {"=R1/$1/=T4", link::kLongQueuedAnswerMs}};
  for (const Row& row : rows) {
    events.log.clear();
    event_times.clear();
    state.QueueLast = -1;
    reg.then(R::Only({ACK}, 5));
    queue({row.command});
    ASSERT_TRUE(settle()) << row.command;
    EXPECT_EQ(events.log, Log{"ErrorEvent 112 0 0 0"}) << row.command;
    EXPECT_EQ(event_times[0] - (reg.frameTimes().back() + 5), row.limit_ms) << row.command;
    EXPECT_EQ(state.ResultCode, result::Timeout);
    EXPECT_EQ(state.ErrorOutID, 1);
    EXPECT_EQ(state.QueueNext, 0);
    EXPECT_EQ(link->queueState(), QueueState::Halted);
    EXPECT_EQ(port.receiveThreshold(), 1) << "a late answer is still taken";
  }

  // Halted: the next command queued restarts the pump at the entry that had no answer.
  reg.always(R::AckThen(R::Status()));
  const std::size_t sent = reg.commands().size();
  queue({"=C1"});
  ASSERT_TRUE(settle());
  EXPECT_EQ(std::vector<std::string>(reg.commands().begin() + sent, reg.commands().end()),
            (std::vector<std::string>{"=R1/$1/=T4", "=C1"}));
  EXPECT_EQ(events.log.back(), "StatusUpdateEvent 1001");
}

TEST_F(AsyncQueue, LateAnswerStillCompletesTheEntry) {
  reg.then({{1, {ACK}}, {link::kQueuedAnswerMs + 1000, R::Status()}});
  queue({"=R1/$1"});
  ASSERT_TRUE(loop.runUntil([&] { return state.QueueLast == -1; }, 60'000));
  EXPECT_EQ(events.log,
            (Log{"ErrorEvent 112 0 0 0", "OutputCompleteEvent 1", "StatusUpdateEvent 1001"}));
  EXPECT_EQ(reg.commands().size(), 1u);
}

// A command the register never acknowledges: the pump reports 112 after three attempts; the
// host's 12 passes it over, anything else has it sent again at the next tick.
TEST_F(AsyncQueue, UnacknowledgedCommandIsReportedByThePump) {
  // Silent register.
  queue({"=R1/$1"});
  events.errorResponse = [&](std::int32_t preset) {
    return events.log.size() == 1 ? preset : kErrorResponseClear;
  };
  ASSERT_TRUE(settle());
  ASSERT_EQ(events.log, (Log{"ErrorEvent 112 0 0 0", "ErrorEvent 112 0 0 0"}));
  const auto frames = framesWritten();
  ASSERT_EQ(frames.size(), 6u);
  EXPECT_EQ(frames[3].at - event_times[0], link::kQueuePumpMs);
  EXPECT_EQ(reg.replyBytes(), (Bytes{link::NACK, link::NACK, ACK, link::NACK, link::NACK, ACK}));
  // Passed over with 12: the queue has no entry left but is not emptied.
  EXPECT_EQ(state.QueueNext, 1);
  EXPECT_EQ(state.QueueLast, 0);
  EXPECT_EQ(state.ResultCode, 0);
  EXPECT_EQ(link->queueState(), QueueState::Halted);
  queue({"=C1"});
  EXPECT_EQ(state.OutputID, 2) << "numbering goes on";
}

// Error entries of the receipt methods are delivered in queue order without anything being
// sent: 12 (the preset) passes the entry over, any other response reports it again at the
// next tick. The entries behind it follow.
TEST_F(AsyncQueue, ErrorEntryIsReportedInItsTurn) {
  reg.always(R::AckThen(R::Status()));
  int refusals = 1;
  events.errorResponse = [&](std::int32_t preset) { return refusals-- > 0 ? 0 : preset; };
  std::vector<std::int32_t> error_out_ids;
  events.onEvent = [&](const std::string& event) {
    event_times.push_back(loop.now());
    if (event.starts_with("ErrorEvent")) error_out_ids.push_back(state.ErrorOutID);
  };
  queue({"=R1/$1", "ERROR000114000205", "=R1/$2"});
  ASSERT_TRUE(settle());
  EXPECT_EQ(events.log,
            (Log{"OutputCompleteEvent 1", "ErrorEvent 114 205 0 12", "ErrorEvent 114 205 0 12",
                 "OutputCompleteEvent 3", "StatusUpdateEvent 1001"}));
  EXPECT_EQ(event_times[2] - event_times[1], link::kQueuePumpMs);
  EXPECT_EQ(error_out_ids, (std::vector<std::int32_t>{2, 2}));
  EXPECT_EQ(reg.commands(), (std::vector<std::string>{"=R1/$1", "=R1/$2"}));
  EXPECT_EQ(state.ResultCode, 0);
  EXPECT_EQ(state.ResultCodeExtended, 0);
}

// A register error in the answer reaches the host once. A numbered error is reported by answer
// reception (preset 12, which passes the entry over); a condition (paper, cover, 105), which
// it raises as StatusUpdateEvent, by receive completion (preset 0, the queue halts).
TEST_F(AsyncQueue, RegisterErrorIsReportedOnce) {
  struct Row {
    const char* name;
    Bytes answer;
    std::int32_t response;  // -1: left as preset
    Log events;
    std::vector<std::string> sent;
  } rows[] = {
      {"numbered error cleared by the host",
       R::ErrorStatus('X', "0042"),
       -1,
       {"ErrorEvent 114 42 0 12", "OutputCompleteEvent 2", "StatusUpdateEvent 1001"},
       {"=R1/$1", "=R1/$2"}},
      {"numbered error left",
       R::ErrorStatus('X', "0042"),
       0,
       {"ErrorEvent 114 42 0 12"},
       {"=R1/$1"}},
      {"paper out",
       R::ErrorStatus('P', "0000"),
       -1,
       {"StatusUpdateEvent 24", "ErrorEvent 114 203 0 0"},
       {"=R1/$1"}},
      {"cover open",
       R::ErrorStatus('C', "0000"),
       -1,
       {"StatusUpdateEvent 11", "ErrorEvent 114 201 0 0"},
       {"=R1/$1"}},
      {"error 105",
       R::ErrorStatus('X', "0105"),
       -1,
       {"StatusUpdateEvent 21", "ErrorEvent 114 202 0 0"},
       {"=R1/$1"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScriptedPort fresh_port{loop};
    events.log.clear();
    events.errorResponse = nullptr;
    if (row.response >= 0) events.answerErrorsWith(row.response);
    state = ControlState{};
    state.LinkFree = true;
    state.AsyncMode = true;
    state.events = &events;
    ASSERT_TRUE(fresh_port.open(1, 9600));
    ScriptedRegister fresh_reg{fresh_port};
    fresh_reg.then(R::AckThen(row.answer)).always(R::AckThen(R::Status()));
    auto fresh_link = std::make_unique<RegisterLink>(state, loop, fresh_port, trace);
    ASSERT_EQ(fresh_link->SendCommand("=R1/$1", false), 0);
    ASSERT_EQ(fresh_link->SendCommand("=R1/$2", false), 0);
    loop.runUntil(
        [&] {
          const QueueState q = fresh_link->queueState();
          return q == QueueState::Empty || q == QueueState::Halted;
        },
        60'000);
    EXPECT_EQ(events.log, row.events);
    EXPECT_EQ(fresh_reg.commands(), row.sent);
    EXPECT_EQ(state.ErrorOutID, 1);
  }
}

// A refused answer is waited for again, up to three times; then the host hears 111.
TEST_F(AsyncQueue, RefusedAnswerIsAwaitedAgainWithinBounds) {
  struct Row {
    const char* name;
    int garbled;
    Log events;
  } rows[] = {
      {"one refused, then a good one", 1, {"OutputCompleteEvent 1", "StatusUpdateEvent 1001"}},
      {"refused three times", 3, {"ErrorEvent 111 0 0 0"}},
  };
  for (const Row& row : rows) {
    events.log.clear();
    state.QueueLast = -1;
    ScriptedRegister::Reply reply{{1, {ACK}}};
    for (int i = 0; i < row.garbled; ++i) reply.push_back({20 + 500 * i, Garbled(R::Status())});
    reply.push_back({20 + 500 * row.garbled, R::Status()});
    reg.then(reply);
    const std::size_t sent = reg.commands().size();
    queue({"=R1/$1"});
    ASSERT_TRUE(settle(60'000)) << row.name;
    EXPECT_EQ(events.log, row.events) << row.name;
    EXPECT_TRUE(traced("< - Risposta BCC KO= NACK")) << row.name;
    EXPECT_EQ(reg.commands().size(), sent + 1) << "the command is not sent again";
  }
}

// A command the host queues from StatusUpdateEvent 1001 begins the next queue.
TEST_F(AsyncQueue, CommandQueuedWhenTheQueueDrainsIsKept) {
  reg.always(R::AckThen(R::Status()));
  bool queued_again = false;
  events.onEvent = [&](const std::string& event) {
    if (event == "StatusUpdateEvent 1001" && !queued_again) {
      queued_again = true;
      EXPECT_EQ(link->SendCommand("=C1", false), 0);
    }
  };
  queue({"=R1/$1"});
  ASSERT_TRUE(settle());
  ASSERT_TRUE(loop.runUntil([&] { return events.log.size() == 4; }, 10'000));
  EXPECT_EQ(events.log, (Log{"OutputCompleteEvent 1", "StatusUpdateEvent 1001",
                             "OutputCompleteEvent 1", "StatusUpdateEvent 1001"}));
  EXPECT_EQ(reg.commands(), (std::vector<std::string>{"=R1/$1", "=C1"}));
}

TEST(QueueEntry, NumberTextAndErrorCodes) {
  EXPECT_EQ(link::QueueEntry(7, "=T1"), "0000000007=T1");
  EXPECT_EQ(link::QueueEntry(12345678, ""), "0012345678");
  EXPECT_EQ(link::QueueEntryNumber("0000000042=R1"), 42);
  EXPECT_EQ(link::QueueEntryNumber(""), 0);
  EXPECT_EQ(link::QueueEntryCommand("0000000042=R1"), "=R1");
  EXPECT_EQ(link::QueueEntryCommand("00042"), "");
  const auto error = link::QueuedErrorOf("0000000003ERROR000114000205");
  ASSERT_TRUE(error);
  EXPECT_EQ(error->result_code, 114);
  EXPECT_EQ(error->extended, 205);
  EXPECT_FALSE(link::QueuedErrorOf("0000000003=R1/$1"));
  const auto cut = link::QueuedErrorOf("0000000003ERROR0001");
  ASSERT_TRUE(cut) << "a short error entry reads its missing digits as 0";
  EXPECT_EQ(cut->result_code, 1);
  EXPECT_EQ(cut->extended, 0);
}

}  // namespace
}  // namespace velka::testing
