// What only the poll(2) loop can show: real descriptors closing and objects outliving it.
#include "platform/posix/poll_event_loop.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace velka {
namespace {

class PipePair {
 public:
  PipePair() { EXPECT_EQ(::pipe2(fds_, O_NONBLOCK | O_CLOEXEC), 0); }
  ~PipePair() {
    closeRead();
    closeWrite();
  }
  int readEnd() const { return fds_[0]; }
  int writeEnd() const { return fds_[1]; }
  void closeRead() {
    if (fds_[0] >= 0) ::close(fds_[0]);
    fds_[0] = -1;
  }
  void closeWrite() {
    if (fds_[1] >= 0) ::close(fds_[1]);
    fds_[1] = -1;
  }

 private:
  int fds_[2] = {-1, -1};
};

TEST(PollEventLoopTest, HangUpOfTheOtherEndCountsAsReadable) {
  PollEventLoop loop;
  PipePair pipe;
  int calls = 0;
  std::unique_ptr<ReadWatch> watch;
  watch = loop.watchReadable(pipe.readEnd(), [&] {
    ++calls;
    watch->setEnabled(false);  // what an owner does once it has seen the end
  });
  pipe.closeWrite();
  loop.waitForEvents(kNoHandle, 1000);
  EXPECT_EQ(calls, 1);
}

TEST(PollEventLoopTest, ClosedWakeDescriptorDoesNotCutTheWaitShort) {
  PollEventLoop loop;
  PipePair pipe;
  const int stale = pipe.readEnd();
  pipe.closeRead();
  const Millis start = loop.now();
  loop.waitForEvents(stale, 40);
  EXPECT_GE(loop.now() - start, 40);
}

// A closed wake descriptor is dropped from the wait; the watches after it keep their own
// readiness (a closed one among them must not mark another as closed).
TEST(PollEventLoopTest, ClosedWakeDescriptorLeavesTheWatchesTheirOwnState) {
  PollEventLoop loop;
  PipePair wake, good, closed;
  int good_calls = 0;
  auto good_watch = loop.watchReadable(good.readEnd(), [&] {
    char byte;
    while (::read(good.readEnd(), &byte, 1) > 0) ++good_calls;
  });
  auto closed_watch = loop.watchReadable(closed.readEnd(), [] {});
  const int stale = wake.readEnd();
  wake.closeRead();
  closed.closeRead();
  loop.waitForEvents(stale, 40);
  ASSERT_EQ(::write(good.writeEnd(), "x", 1), 1);
  loop.processPendingEvents();
  EXPECT_EQ(good_calls, 1);
}

TEST(PollEventLoopTest, WatchOnAClosedDescriptorIsCalledOnceThenLeftOut) {
  PollEventLoop loop;
  PipePair pipe;
  int calls = 0;
  auto watch = loop.watchReadable(pipe.readEnd(), [&] { ++calls; });
  pipe.closeRead();
  loop.processPendingEvents();
  EXPECT_EQ(calls, 1);
  // Left out of the poll set: the next step sleeps for its bound instead of returning at once.
  const Millis start = loop.now();
  loop.waitForEvents(kNoHandle, 40);
  EXPECT_GE(loop.now() - start, 40);
  EXPECT_EQ(calls, 1);
}

TEST(PollEventLoopTest, TimersAndWatchesMayOutliveTheLoop) {
  auto loop = std::make_unique<PollEventLoop>();
  PipePair pipe;
  auto timer = loop->createTimer([] {});
  auto watch = loop->watchReadable(pipe.readEnd(), [] {});
  loop.reset();
  timer->setInterval(10);
  timer->start();
  EXPECT_TRUE(timer->isActive());
  watch->setEnabled(false);
}

TEST(PollEventLoopTest, ClockIsMonotonicMilliseconds) {
  PollEventLoop loop;
  const Millis a = loop.now();
  loop.waitForEvents(kNoHandle, 15);
  const Millis b = loop.now();
  EXPECT_GE(b - a, 15);
  EXPECT_LT(b - a, 5000);
}

}  // namespace
}  // namespace velka
