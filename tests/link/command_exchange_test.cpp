#include <gtest/gtest.h>

#include <string>

#include "automation/result_codes.h"
#include "control/link/link_limits.h"
#include "tests/link/link_fixture.h"

namespace velka::testing {
namespace {

class CommandExchange : public LinkTest {};

TEST_F(CommandExchange, AcknowledgedAndAnswered) {
  reg.then(R::AckThen(R::Status()));
  EXPECT_EQ(link->SendCommand("?s", false), result::Success);
  EXPECT_TRUE(state.LinkFree);
  EXPECT_EQ(reg.commands(), std::vector<std::string>{"?s"});
  EXPECT_TRUE(reg.replyBytes().empty());  // nothing is sent in reply to an answer
  EXPECT_EQ(link->ReplyByte(), ACK);
  EXPECT_TRUE(state.ReceiveBuffer.empty());

  std::int16_t pack = 0;
  const Bytes frame = link::BuildCommandFrame("?s", pack);
  const auto messages = traceMessages();
  ASSERT_GE(messages.size(), 3u);
  EXPECT_EQ(messages[0], "> - Invio " + link::FrameText(frame));
  EXPECT_EQ(messages[1], "< - Ricevuto da Invio COMANDO \x06");
  // The answer is judged together with the ACK in front of it.
  EXPECT_TRUE(traced("< - Ricevuto DATA ANSW " + link::FrameText(R::Join({{ACK}, R::Status()}))));
}

TEST_F(CommandExchange, NackNackThenAck) {
  reg.then(R::Only({NACK})).then(R::Only({NACK})).then(R::AckThen(R::Status()));
  EXPECT_EQ(link->SendCommand("=R1/$100", false), result::Success);
  const auto frames = framesWritten();
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].bytes, frames[1].bytes);  // the same sequence digit each time
  EXPECT_EQ(frames[1].bytes, frames[2].bytes);
  EXPECT_EQ(reg.replyBytes(), (Bytes{NACK, NACK}));
  EXPECT_EQ(state.PackID, 1);
  int nacks = 0;
  for (const auto& m : traceMessages()) nacks += m == "> - Invio COMANDO KO= NACK";
  EXPECT_EQ(nacks, 2);
}

TEST_F(CommandExchange, SilentRegisterTimesOutAfterThreeAttempts) {
  struct Case {
    const char* command;
    Millis per_attempt;
  } cases[] = {{"?s", link::kAckWaitMs}, {">c}1", link::kLongAckWaitMs}};
  for (const Case& c : cases) {
    port.clearWritten();
    trace_lines.clear();
    const Millis start = loop.now();
    EXPECT_EQ(link->SendCommand(c.command, false), result::Timeout) << c.command;
    const Millis elapsed = loop.now() - start;
    EXPECT_GE(elapsed, 3 * c.per_attempt) << c.command;
    EXPECT_LE(elapsed, 3 * c.per_attempt + 100) << c.command;
    EXPECT_TRUE(state.LinkFree);

    Bytes replies;
    for (const auto& w : port.written()) {
      if (w.bytes.size() == 1) replies.push_back(w.bytes[0]);
    }
    EXPECT_EQ(framesWritten().size(), 3u) << c.command;
    EXPECT_EQ(replies, (Bytes{NACK, NACK, ACK})) << c.command;
    EXPECT_TRUE(traced("> - Invio COMANDO TIMEOUT 1"));
    EXPECT_TRUE(traced("> - Invio COMANDO TIMEOUT 3"));
    EXPECT_TRUE(traced("> - Invio COMANDO KO= ACK"));
  }
}

TEST_F(CommandExchange, FirstByteOtherThanAckIsNotAnAcknowledgement) {
  // A late answer to an earlier command arrives instead of the ACK.
  reg.then(R::Only(R::Status())).then(R::AckThen(R::Status()));
  EXPECT_EQ(link->SendCommand("?s", false), result::Success);
  EXPECT_EQ(framesWritten().size(), 2u);
  EXPECT_EQ(reg.replyBytes(), Bytes{NACK});
}

TEST_F(CommandExchange, VFramesAreWrittenOnceAndNotAwaited) {
  for (const char* command : {">>/?S", "=W/1"}) {
    port.clearWritten();
    const Millis start = loop.now();
    EXPECT_EQ(link->SendCommand(command, false), result::Success) << command;
    EXPECT_EQ(loop.now(), start) << command;
    ASSERT_EQ(port.written().size(), 1u) << command;
    EXPECT_EQ(port.written()[0].bytes[6], 'V') << command;
    EXPECT_TRUE(state.LinkFree);
  }
}

TEST_F(CommandExchange, AckAndAnswerInOneRead) {
  reg.then(R::Only(R::Join({{ACK}, R::Status('0', '2', '0')})));
  const Millis start = loop.now();
  EXPECT_EQ(link->SendCommand("=T1", false), result::Success);
  EXPECT_LE(loop.now() - start, 10);
  EXPECT_EQ(state.PrinterState, printer_state::PaymentIncomplete);
}

TEST_F(CommandExchange, AnswerSplitOverReads) {
  const Bytes status = R::Status('0', '4', '0');
  reg.then({{1, {ACK}},
            {20, Bytes(status.begin(), status.begin() + 7)},
            {40, Bytes(status.begin() + 7, status.end() - 1)},
            {60, Bytes{link::ETX}}});
  EXPECT_EQ(link->SendCommand("=T1", false), result::Success);
  EXPECT_EQ(state.PrinterState, printer_state::ReceiptEnding);
}

TEST_F(CommandExchange, CallFromAnEventHandlerDuringAWaitGetsLinkBusy) {
  std::int32_t nested = -1;
  std::unique_ptr<Timer> host_timer;
  host_timer = loop.createTimer([&] {
    nested = link->SendCommand("?d", true);
    host_timer->stop();
  });
  host_timer->setInterval(1000);
  host_timer->start();
  reg.then({{2000, {ACK}}, {2100, R::Status()}});
  EXPECT_EQ(link->SendCommand("?s", false), result::Success);
  EXPECT_EQ(nested, result::LinkBusy);
  EXPECT_EQ(reg.commands(), std::vector<std::string>{"?s"});  // nothing written for the call
}

TEST_F(CommandExchange, WaitsSleepAndLetHostEventsRun) {
  int ticks = 0;
  auto host_timer = loop.createTimer([&] { ++ticks; });
  host_timer->setInterval(250);
  host_timer->start();
  const long wakes_before = loop.wakeCount();
  EXPECT_EQ(link->SendCommand("?s", false), result::Timeout);  // three silent 3 s waits
  const long wakes = loop.wakeCount() - wakes_before;
  EXPECT_GE(ticks, 35);
  // One wake per host tick and a few for the link's own deadlines; a spinning wait would
  // take thousands.
  EXPECT_LE(wakes, ticks + 12);
}

TEST_F(CommandExchange, OverlongCommandIsRefusedBeforeFraming) {
  const std::string too_long(link::kMaxCommandLength + 1, 'x');
  const std::int16_t pack = state.PackID;
  EXPECT_EQ(link->SendCommand(too_long, true), result::NotAllowed);
  EXPECT_EQ(link->TransmitCommand(too_long, false), result::NotAllowed);
  state.AsyncMode = true;
  EXPECT_EQ(link->SendCommand(too_long, false), result::NotAllowed);
  EXPECT_EQ(state.QueueLast, -1);
  EXPECT_TRUE(port.written().empty());
  EXPECT_EQ(state.PackID, pack);
  EXPECT_TRUE(state.LinkFree);
  // The longest that can be framed still goes out.
  reg.then(R::AckThen(R::Status()));
  state.AsyncMode = false;
  EXPECT_EQ(link->SendCommand(std::string(link::kMaxCommandLength, 'x'), false), result::Success);
}

TEST_F(CommandExchange, AckWaitCountsFromTheFrameHavingLeftThePort) {
  // 1010 bytes at 9600 baud: about 1.05 s on the wire.
  port.setOutputDrainMs(1052);
  reg.then({{3500, {ACK}}, {3520, R::Status()}});
  EXPECT_EQ(link->SendCommand(std::string(link::kMaxCommandLength, 'x'), false), result::Success);
  EXPECT_EQ(framesWritten().size(), 1u);

  // A silent register: the next attempt follows the drain and then the full ACK wait.
  port.clearWritten();
  EXPECT_EQ(link->SendCommand(std::string(link::kMaxCommandLength, 'y'), false), result::Timeout);
  const auto frames = framesWritten();
  ASSERT_EQ(frames.size(), 3u);
  const Millis gap = frames[1].at - frames[0].at;
  EXPECT_GE(gap, 1052 + link::kAckWaitMs);
  EXPECT_LE(gap, 1052 + link::kAckWaitMs + 20);
}

TEST_F(CommandExchange, DrainWaitIsBounded) {
  port.setOutputDrainMs(1'000'000);  // a port that never reports its output sent
  EXPECT_EQ(link->SendCommand("?s", false), result::Timeout);
  const auto frames = framesWritten();
  ASSERT_EQ(frames.size(), 3u);
  // 13 bytes take 14 ms at 9600 baud: the drain wait gives up after 2 x 14 + 1000 ms.
  const Millis gap = frames[1].at - frames[0].at;
  EXPECT_LE(gap, 2 * 14 + link::kOutputDrainSlackMs + link::kAckWaitMs + 20);
  EXPECT_GE(gap, link::kAckWaitMs);
}

TEST_F(CommandExchange, PortClosedOrHungUpEndsTheExchangeAtOnce) {
  for (const bool hang_up : {false, true}) {
    ASSERT_TRUE(port.isOpen() || port.open(1, 9600));
    port.clearWritten();
    auto host_timer = loop.createTimer([&] {
      if (hang_up) {
        port.hangUp();
      } else {
        port.close();  // what TMVClose does from an event handler
      }
    });
    host_timer->setInterval(500);
    host_timer->start();
    const Millis start = loop.now();
    EXPECT_EQ(link->SendCommand("?s", false), result::Timeout) << hang_up;
    EXPECT_LE(loop.now() - start, 510) << hang_up;
    EXPECT_EQ(framesWritten().size(), 1u) << hang_up;
    EXPECT_TRUE(state.LinkFree);
    host_timer.reset();
    port.close();
  }
  // Nothing to write to: no wait at all.
  EXPECT_EQ(link->SendCommand("?s", false), result::Timeout);
  EXPECT_EQ(link->SendCommand(">>/?S", false), result::Timeout);
}

TEST_F(CommandExchange, AsynchronousModeQueuesWithTenDigitNumbers) {
  state.AsyncMode = true;
  EXPECT_EQ(link->SendCommand("=R1/$100", false), result::Success);
  EXPECT_EQ(link->SendCommand("=T1", false), result::Success);
  EXPECT_TRUE(port.written().empty());
  EXPECT_EQ(state.CommandQueue, (std::vector<std::string>{"0000000001=R1/$100", "0000000002=T1"}));
  EXPECT_EQ(state.QueueLast, 1);
  EXPECT_EQ(state.QueueNext, 0);
  EXPECT_EQ(state.OutputID, 2);
  EXPECT_TRUE(link->tmrAvvio().isActive());
  EXPECT_EQ(link->tmrAvvio().interval(), link::kQueuePumpMs);

  // ForceSync goes to the register at once, whatever AsyncMode says.
  reg.then(R::AckThen(R::Status()));
  EXPECT_EQ(link->SendCommand("?s", true), result::Success);
  EXPECT_EQ(reg.commands(), std::vector<std::string>{"?s"});

  // Numbering restarts once the queue is empty again.
  state.QueueLast = -1;
  EXPECT_EQ(link->SendCommand("=T2", false), result::Success);
  EXPECT_EQ(state.CommandQueue, std::vector<std::string>{"0000000001=T2"});
}

TEST_F(CommandExchange, QueuedCommandIsHandedToTheReceiveEventAfterItsAck) {
  state.AsyncMode = true;
  struct Case {
    const char* command;
    Millis data_limit;
  } cases[] = {{"=T1", link::kQueuedAnswerMs}, {"=R1/=T4/$5", link::kLongQueuedAnswerMs}};
  for (const Case& c : cases) {
    reg.then(R::Only({ACK}));
    state.TimeoutElapsed = true;
    EXPECT_EQ(link->TransmitCommand(c.command, false), result::Success) << c.command;
    EXPECT_TRUE(state.LinkFree);
    EXPECT_FALSE(state.TimeoutElapsed);
    EXPECT_EQ(port.receiveThreshold(), 1);
    EXPECT_TRUE(link->tmrData().isActive());
    EXPECT_EQ(link->tmrData().interval(), c.data_limit) << c.command;
    port.setReceiveThreshold(0);
  }
}

}  // namespace
}  // namespace velka::testing
