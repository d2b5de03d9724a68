// The system loop as a host with a loop of its own turns it: its readiness descriptor is
// readable exactly while a timer is due or a watched descriptor is readable, whatever changed
// the timers and watches, and the time until the next timer.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "platform/posix/poll_event_loop.h"

namespace velka {
namespace {

class Pipe {
 public:
  Pipe() { EXPECT_EQ(::pipe2(fds_, O_NONBLOCK | O_CLOEXEC), 0); }
  ~Pipe() {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  int readEnd() const { return fds_[0]; }
  void put() { EXPECT_EQ(::write(fds_[1], "x", 1), 1); }
  void drain() {
    char buffer[64];
    while (::read(fds_[0], buffer, sizeof buffer) > 0) {
    }
  }

 private:
  int fds_[2] = {-1, -1};
};

// Readable within wait_ms, as a host's loop would find it.
bool Readable(int fd, int wait_ms = 0) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, wait_ms) == 1 && (p.revents & POLLIN);
}

class LoopReadinessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handle = loop.readinessHandle();
    ASSERT_NE(handle, kNoHandle);
  }
  PollEventLoop loop;
  int handle = kNoHandle;
};

TEST_F(LoopReadinessTest, IdleLoopIsNotReadyAndHasNoTimer) {
  EXPECT_FALSE(Readable(handle, 20));
  EXPECT_EQ(loop.millisUntilNextTimer(), -1);
  EXPECT_EQ(loop.readinessHandle(), handle);  // the same for the loop's life
}

TEST_F(LoopReadinessTest, TimerMakesItReadyWhenDueAndDispatchClearsIt) {
  int ticks = 0;
  auto timer = loop.createTimer([&] { ++ticks; });
  timer->setInterval(40);
  timer->start();
  EXPECT_FALSE(Readable(handle));
  const Millis left = loop.millisUntilNextTimer();
  EXPECT_GT(left, 0);
  EXPECT_LE(left, 40);

  const Millis start = loop.now();
  ASSERT_TRUE(Readable(handle, 2000));
  EXPECT_GE(loop.now() - start, 30);
  EXPECT_EQ(loop.millisUntilNextTimer(), 0);
  loop.processPendingEvents();
  EXPECT_EQ(ticks, 1);
  EXPECT_FALSE(Readable(handle));  // the next tick is a period away

  timer->stop();
  EXPECT_EQ(loop.millisUntilNextTimer(), -1);
  EXPECT_FALSE(Readable(handle, 60));
}

TEST_F(LoopReadinessTest, TimerStartedBeforeTheHandleWasAskedForCounts) {
  PollEventLoop other;
  auto timer = other.createTimer([] {});
  timer->setInterval(1);
  timer->start();
  const int late = other.readinessHandle();
  ASSERT_NE(late, kNoHandle);
  EXPECT_TRUE(Readable(late, 2000));
}

TEST_F(LoopReadinessTest, StoppingOrDestroyingADueTimerClearsIt) {
  const std::function<void(std::unique_ptr<Timer>&)> cases[] = {
      [](std::unique_ptr<Timer>& t) { t->stop(); },
      [](std::unique_ptr<Timer>& t) { t.reset(); },
      [](std::unique_ptr<Timer>& t) { t->setInterval(100000); },
  };
  for (const auto& undo : cases) {
    auto timer = loop.createTimer([] {});
    timer->setInterval(1);
    timer->start();
    ASSERT_TRUE(Readable(handle, 2000));
    undo(timer);
    EXPECT_FALSE(Readable(handle));
  }
}

TEST_F(LoopReadinessTest, WatchedDescriptorMakesItReadyUntilDrained) {
  Pipe pipe;
  int calls = 0;
  auto watch = loop.watchReadable(pipe.readEnd(), [&] {
    ++calls;
    pipe.drain();
  });
  EXPECT_FALSE(Readable(handle));
  pipe.put();
  EXPECT_TRUE(Readable(handle, 2000));
  loop.processPendingEvents();
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(Readable(handle));
}

TEST_F(LoopReadinessTest, OnlyEnabledLiveWatchesCount) {
  Pipe pipe;
  pipe.put();
  auto watch = loop.watchReadable(pipe.readEnd(), [] {});
  EXPECT_TRUE(Readable(handle));
  watch->setEnabled(false);
  EXPECT_FALSE(Readable(handle));
  watch->setEnabled(true);
  EXPECT_TRUE(Readable(handle));
  watch.reset();
  EXPECT_FALSE(Readable(handle));

  // Two watches of one descriptor: it counts while either is enabled.
  auto first = loop.watchReadable(pipe.readEnd(), [] {});
  auto second = loop.watchReadable(pipe.readEnd(), [] {});
  first.reset();
  EXPECT_TRUE(Readable(handle));
}

TEST_F(LoopReadinessTest, DescriptorEpollCannotWatchMakesItReadyAtOnce) {
  // poll(2) finds a regular file always readable; the readiness must not hide it.
  char path[] = "/tmp/velka-readiness-XXXXXX";
  const int file = ::mkstemp(path);
  ASSERT_GE(file, 0);
  ::unlink(path);
  int calls = 0;
  std::unique_ptr<ReadWatch> watch;
  watch = loop.watchReadable(file, [&] {
    ++calls;
    watch->setEnabled(false);
  });
  EXPECT_TRUE(Readable(handle));
  loop.processPendingEvents();
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(Readable(handle));
  ::close(file);
}

TEST_F(LoopReadinessTest, HostLoopOnTheHandleAloneRunsTimersAndWatches) {
  // What a host does: sleep on the handle, then dispatch without blocking.
  Pipe pipe;
  std::string seen;
  auto watch = loop.watchReadable(pipe.readEnd(), [&] {
    seen += "w";
    pipe.drain();
  });
  std::unique_ptr<Timer> timer;
  timer = loop.createTimer([&] {
    seen += "t";
    timer->stop();
    pipe.put();
  });
  timer->setInterval(20);
  timer->start();
  for (int turns = 0; turns < 10 && seen.size() < 2; ++turns) {
    if (Readable(handle, 2000)) loop.processPendingEvents();
  }
  EXPECT_EQ(seen, "tw");
  EXPECT_FALSE(Readable(handle, 30));
}

}  // namespace
}  // namespace velka
