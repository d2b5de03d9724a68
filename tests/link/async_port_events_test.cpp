// The port's events outside the queue's own work: line errors, and bytes that come when no
// queued command awaits them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/link/async_link_fixture.h"

namespace velka::testing {
namespace {

class AsyncPortEvents : public AsyncLinkTest {};

TEST_F(AsyncPortEvents, LineErrorsAreClearedWithoutEventOrTrace) {
  struct Row {
    int code;
    bool cleared;
  } rows[] = {{kCommErrorFrame, true},
              {kCommErrorRxParity, true},
              {kCommErrorBreak, true},
              {kCommErrorCtsTimeout, true},
              {kCommErrorDsrTimeout, true},
              {kCommErrorOverrun, true},
              {kCommErrorCdTimeout, true},
              {kCommErrorRxOver, true},
              {kCommErrorTxFull, true},
              {kCommErrorDcb, true},
              {kCommEventCts, false},
              {kCommEventDsr, false},
              {kCommEventRing, false},
              {1005, false},
              {0, false}};
  // In the middle of an awaited answer too.
  reg.then(R::AckThen(R::Status(), 1000));
  queue({"=R1/$1"});
  loop.advance(200);
  ASSERT_EQ(link->queueState(), QueueState::AwaitingAnswer);
  const std::size_t lines_before = trace_lines.size();
  for (const Row& row : rows) {
    const int before = port.clearLineErrorsCount();
    port.signalLineError(row.code);
    EXPECT_EQ(port.clearLineErrorsCount() - before, row.cleared ? 1 : 0) << row.code;
  }
  EXPECT_EQ(trace_lines.size(), lines_before);
  EXPECT_TRUE(events.log.empty());
  ASSERT_TRUE(settle());
  EXPECT_EQ(events.log, (Log{"OutputCompleteEvent 1", "StatusUpdateEvent 1001"}));
}

// The synchronous exchange keeps the receive threshold at 0: bytes that come after its answer
// raise no event and stay for the next reader.
TEST_F(AsyncPortEvents, NoReceiveEventsInSynchronousUse) {
  state.AsyncMode = false;
  reg.then({{1, {ACK}}, {20, R::Status()}, {500, R::Status()}});
  EXPECT_EQ(link->SendCommand("=R1/$1", false), result::Success);
  EXPECT_EQ(port.receiveThreshold(), 0);
  loop.advance(2000);
  EXPECT_TRUE(events.log.empty());
  EXPECT_EQ(port.bytesWaiting(), R::Status().size());
  EXPECT_EQ(state.QueueLast, -1);
}

// Bytes with no entry to answer (a stray event, or a queue the host emptied) are left alone.
TEST_F(AsyncPortEvents, ReceiveEventWithoutAnEntryIsIgnored) {
  port.sendAfter(0, R::Status());
  port.setReceiveThreshold(1);
  loop.advance(5000);
  EXPECT_TRUE(events.log.empty());
  EXPECT_EQ(port.receiveThreshold(), 0);
  EXPECT_EQ(port.bytesWaiting(), R::Status().size());
}

}  // namespace
}  // namespace velka::testing
