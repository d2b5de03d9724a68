#pragma once
// The behaviour every EventLoop must show, as one typed test suite. An implementation is run
// through it with a traits struct:
//
//   struct MyLoopTraits {
//     using Loop = MyLoop;                        // default-constructible EventLoop
//     class Source {                              // something the loop can watch
//      public:
//       explicit Source(Loop& loop);
//       NativeHandle fd() const;                  // handle for watchReadable / the wake
//       void makeReadable();                      // readable from now on
//       void makeReadableAfter(Millis delay_ms);  // readable once delay_ms have passed
//       void drain();                             // not readable any more
//     };
//   };
//   INSTANTIATE_TYPED_TEST_SUITE_P(MyLoop, EventLoopConformance, MyLoopTraits);
//
// Times are read from the loop's own clock, so a virtual loop is held to exact values and a
// real one to lower bounds (with a generous upper bound that only catches a hang).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/event_loop.h"

namespace velka {

template <typename Traits>
class EventLoopConformance : public ::testing::Test {
 protected:
  using Loop = typename Traits::Loop;
  using Source = typename Traits::Source;

  // Far above any delay of the cases: only a loop that hangs or ignores a bound exceeds it.
  static constexpr Millis kHangLimitMs = 5000;

  // Runs the blocking step until done() or until limit_ms have passed on the loop's clock.
  template <typename Done>
  bool runUntil(Done done, Millis limit_ms = kHangLimitMs) {
    const Millis until = loop.now() + limit_ms;
    loop.processPendingEvents();
    while (!done() && loop.now() < until) loop.waitForEvents(kNoHandle, until - loop.now());
    return done();
  }
  // Lets duration_ms pass on the loop's clock, dispatching what falls due.
  void runFor(Millis duration_ms) {
    const Millis until = loop.now() + duration_ms;
    while (loop.now() < until) loop.waitForEvents(kNoHandle, until - loop.now());
  }
  // A timer of interval_ms, started.
  template <typename Tick>
  std::unique_ptr<Timer> startTimer(Millis interval_ms, Tick tick) {
    auto timer = loop.createTimer(std::move(tick));
    timer->setInterval(interval_ms);
    timer->start();
    return timer;
  }
  // A watch of the source that counts its calls and drains the source at each.
  std::unique_ptr<ReadWatch> drainingWatch(Source& source, int& calls) {
    return loop.watchReadable(source.fd(), [&source, &calls] {
      ++calls;
      source.drain();
    });
  }

  Loop loop;
};

TYPED_TEST_SUITE_P(EventLoopConformance);

TYPED_TEST_P(EventLoopConformance, StartRestartsTheCountdown) {
  auto& loop = this->loop;
  Millis fired_at = -1;
  auto timer = this->startTimer(100, [&] { fired_at = loop.now(); });
  this->runFor(60);
  EXPECT_EQ(fired_at, -1);
  const Millis restarted_at = loop.now();
  timer->start();
  ASSERT_TRUE(this->runUntil([&] { return fired_at >= 0; }));
  EXPECT_GE(fired_at - restarted_at, 100);
}

TYPED_TEST_P(EventLoopConformance, ChangingTheIntervalOfARunningTimerRestartsIt) {
  auto& loop = this->loop;
  Millis fired_at = -1;
  auto timer = this->startTimer(50, [&] { fired_at = loop.now(); });
  this->runFor(30);
  const Millis changed_at = loop.now();
  timer->setInterval(80);
  EXPECT_TRUE(timer->isActive());
  ASSERT_TRUE(this->runUntil([&] { return fired_at >= 0; }));
  EXPECT_GE(fired_at - changed_at, 80);
}

TYPED_TEST_P(EventLoopConformance, TimerTicksUntilStopped) {
  int ticks = 0;
  auto timer = this->startTimer(10, [&] { ++ticks; });
  ASSERT_TRUE(this->runUntil([&] { return ticks >= 3; }));
  timer->stop();
  EXPECT_FALSE(timer->isActive());
  this->runFor(50);
  EXPECT_EQ(ticks, 3);
}

TYPED_TEST_P(EventLoopConformance, TimerStoppedInsideItsOwnTick) {
  int ticks = 0;
  std::unique_ptr<Timer> timer;
  timer = this->startTimer(10, [&] {
    ++ticks;
    timer->stop();
  });
  this->runFor(100);
  EXPECT_EQ(ticks, 1);
  EXPECT_FALSE(timer->isActive());
}

TYPED_TEST_P(EventLoopConformance, TimerDestroyedInsideItsOwnTick) {
  int ticks = 0;
  int other_ticks = 0;
  std::unique_ptr<Timer> timer;
  timer = this->startTimer(10, [&] {
    ++ticks;
    timer.reset();
  });
  auto other = this->startTimer(10, [&] { ++other_ticks; });
  this->runFor(100);
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(timer, nullptr);
  EXPECT_GE(other_ticks, 1);  // the loop goes on with the others
}

TYPED_TEST_P(EventLoopConformance, TimerDestroyedByAnEarlierCallbackOfTheSamePassDoesNotRun) {
  auto& loop = this->loop;
  int second_ticks = 0;
  std::unique_ptr<Timer> second;
  auto first = loop.createTimer([&] { second.reset(); });
  second = loop.createTimer([&] { ++second_ticks; });
  first->setInterval(10);
  second->setInterval(10);
  first->start();
  second->start();  // due with first, dispatched after it
  this->runFor(50);
  EXPECT_EQ(second_ticks, 0);
}

TYPED_TEST_P(EventLoopConformance, IntervalZeroOrLessNeverFiresAndDoesNotWake) {
  auto& loop = this->loop;
  int ticks = 0;
  auto zero = loop.createTimer([&] { ++ticks; });
  auto negative = loop.createTimer([&] { ++ticks; });
  negative->setInterval(-5);
  zero->start();
  negative->start();
  const Millis start = loop.now();
  loop.waitForEvents(kNoHandle, 50);
  EXPECT_GE(loop.now() - start, 50);  // one step slept through its whole bound
  loop.processPendingEvents();
  EXPECT_EQ(ticks, 0);
}

TYPED_TEST_P(EventLoopConformance, TimersFireInDeadlineOrder) {
  auto& loop = this->loop;
  std::vector<std::string> order;
  std::vector<std::unique_ptr<Timer>> timers;
  // Each ticks once; "20a" and "20b" fall due together and run in the order they started.
  auto one_shot = [&](const char* name) {
    const std::size_t index = timers.size();
    timers.push_back(loop.createTimer([&, name, index] {
      order.push_back(name);
      timers[index]->stop();
    }));
    return timers.back().get();
  };
  Timer* late = one_shot("30");
  Timer* early = one_shot("10");
  Timer* middle = one_shot("20a");
  Timer* middle_too = one_shot("20b");
  std::vector<Timer*> all{late, early, middle, middle_too};
  late->setInterval(30);
  early->setInterval(10);
  middle->setInterval(20);
  middle_too->setInterval(20);
  for (Timer* t : all) t->start();
  ASSERT_TRUE(this->runUntil([&] { return order.size() >= 4; }));
  const std::vector<std::string> expected{"10", "20a", "20b", "30"};
  EXPECT_EQ(order, expected);
}

TYPED_TEST_P(EventLoopConformance, LateTickIsNotFollowedByABurst) {
  auto& loop = this->loop;
  int ticks = 0;
  Millis long_tick_end = -1;
  int ticks_after_long = 0;
  auto timer = this->startTimer(10, [&] {
    ++ticks;
    if (ticks == 1) {
      this->runFor(35);  // a callback that takes three and a half intervals
      long_tick_end = loop.now();
    } else if (loop.now() <= long_tick_end + 25) {
      ++ticks_after_long;
    }
  });
  ASSERT_TRUE(this->runUntil([&] { return long_tick_end >= 0; }));
  this->runFor(25);
  // One late tick and then the normal cadence: at most 4 in 25 ms, where a loop that catches
  // up on the missed deadlines gives 6.
  EXPECT_GE(ticks_after_long, 1);
  EXPECT_LE(ticks_after_long, 4);
}

TYPED_TEST_P(EventLoopConformance, TimerCreatedAndStartedInsideACallbackRuns) {
  std::unique_ptr<Timer> inner;
  int inner_ticks = 0;
  auto outer = this->startTimer(10, [&] {
    if (inner) return;
    inner = this->startTimer(10, [&] { ++inner_ticks; });
  });
  ASSERT_TRUE(this->runUntil([&] { return inner_ticks >= 1; }));
}

TYPED_TEST_P(EventLoopConformance, WatchCallsWhileReadable) {
  auto& loop = this->loop;
  typename TestFixture::Source source(loop);
  int calls = 0;
  auto watch = loop.watchReadable(source.fd(), [&] {
    ++calls;
    if (calls == 2) source.drain();
  });
  loop.processPendingEvents();
  EXPECT_EQ(calls, 0);
  source.makeReadable();
  loop.processPendingEvents();
  EXPECT_EQ(calls, 1);
  loop.processPendingEvents();  // level-triggered: still readable
  EXPECT_EQ(calls, 2);
  loop.processPendingEvents();
  EXPECT_EQ(calls, 2);
}

TYPED_TEST_P(EventLoopConformance, WatchWakesTheBlockingStep) {
  auto& loop = this->loop;
  typename TestFixture::Source source(loop);
  int calls = 0;
  auto watch = this->drainingWatch(source, calls);
  const Millis start = loop.now();
  source.makeReadableAfter(20);
  ASSERT_TRUE(this->runUntil([&] { return calls > 0; }));
  EXPECT_GE(loop.now() - start, 20);
  EXPECT_LT(loop.now() - start, TestFixture::kHangLimitMs);
}

TYPED_TEST_P(EventLoopConformance, DisabledWatchNeitherCallsNorWakes) {
  auto& loop = this->loop;
  typename TestFixture::Source source(loop);
  int calls = 0;
  auto watch = this->drainingWatch(source, calls);
  watch->setEnabled(false);
  EXPECT_FALSE(watch->isEnabled());
  source.makeReadable();
  const Millis start = loop.now();
  loop.waitForEvents(kNoHandle, 40);
  EXPECT_GE(loop.now() - start, 40);
  EXPECT_EQ(calls, 0);
  watch->setEnabled(true);
  loop.processPendingEvents();
  EXPECT_EQ(calls, 1);
}

TYPED_TEST_P(EventLoopConformance, WatchDestroyedInsideItsOwnCallback) {
  auto& loop = this->loop;
  typename TestFixture::Source source(loop);
  int calls = 0;
  std::unique_ptr<ReadWatch> watch;
  watch = loop.watchReadable(source.fd(), [&] {
    ++calls;
    watch.reset();
  });
  source.makeReadable();
  loop.processPendingEvents();
  loop.processPendingEvents();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(watch, nullptr);
}

TYPED_TEST_P(EventLoopConformance, NestedDispatchDoesNotReenterTheRunningTimer) {
  auto& loop = this->loop;
  int depth = 0;
  int max_depth = 0;
  int ticks = 0;
  int other_ticks = 0;
  auto other = loop.createTimer([&] { ++other_ticks; });
  std::unique_ptr<Timer> timer;
  timer = this->startTimer(10, [&] {
    ++ticks;
    max_depth = std::max(max_depth, ++depth);
    if (ticks == 1) {
      other->setInterval(5);
      other->start();
      // Three of this timer's intervals pass inside its own callback.
      loop.processPendingEvents();
      this->runFor(35);
      loop.processPendingEvents();
    }
    --depth;
  });
  ASSERT_TRUE(this->runUntil([&] { return ticks >= 1 && depth == 0; }));
  EXPECT_EQ(max_depth, 1);
  EXPECT_EQ(ticks, 1);
  EXPECT_GE(other_ticks, 2);  // other timers are dispatched by the nested steps
}

TYPED_TEST_P(EventLoopConformance, NestedDispatchDoesNotReenterTheRunningWatch) {
  auto& loop = this->loop;
  typename TestFixture::Source source(loop);
  int depth = 0;
  int max_depth = 0;
  int calls = 0;
  int ticks = 0;
  auto timer = this->startTimer(5, [&] { ++ticks; });
  auto watch = loop.watchReadable(source.fd(), [&] {
    ++calls;
    max_depth = std::max(max_depth, ++depth);
    // Still readable here: the nested steps must not call this watch again.
    loop.processPendingEvents();
    this->runFor(20);
    source.drain();
    --depth;
  });
  source.makeReadable();
  loop.processPendingEvents();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(max_depth, 1);
  EXPECT_GE(ticks, 1);
}

TYPED_TEST_P(EventLoopConformance, ReadableWakeFdReturnsAtOnceAndCallsNothing) {
  auto& loop = this->loop;
  typename TestFixture::Source wake(loop);
  int ticks = 0;
  auto timer = this->startTimer(3000, [&] { ++ticks; });
  wake.makeReadable();
  const Millis start = loop.now();
  loop.waitForEvents(wake.fd(), 2000);
  EXPECT_LT(loop.now() - start, 1000);
  EXPECT_EQ(ticks, 0);
}

TYPED_TEST_P(EventLoopConformance, WakeFdEndsTheWaitWhenItBecomesReadable) {
  auto& loop = this->loop;
  typename TestFixture::Source wake(loop);
  // The clock is read first: the writer's 20 ms may start counting before the test runs again.
  const Millis start = loop.now();
  wake.makeReadableAfter(20);
  loop.waitForEvents(wake.fd(), 3000);
  EXPECT_GE(loop.now() - start, 20);
  EXPECT_LT(loop.now() - start, 2500);
}

TYPED_TEST_P(EventLoopConformance, MaxWaitBoundsTheWait) {
  auto& loop = this->loop;
  typename TestFixture::Source never(loop);
  auto watch = loop.watchReadable(never.fd(), [] {});
  auto timer = this->startTimer(10'000, [] {});
  const Millis start = loop.now();
  loop.waitForEvents(never.fd(), 40);
  EXPECT_GE(loop.now() - start, 40);
  EXPECT_LT(loop.now() - start, TestFixture::kHangLimitMs);
}

TYPED_TEST_P(EventLoopConformance, BlockingStepWakesForTheNextDeadline) {
  auto& loop = this->loop;
  int ticks = 0;
  auto timer = this->startTimer(30, [&] { ++ticks; });
  const Millis start = loop.now();
  // No bound: only the deadline ends the step.
  while (ticks == 0 && loop.now() - start < TestFixture::kHangLimitMs) loop.waitForEvents();
  EXPECT_EQ(ticks, 1);
  EXPECT_GE(loop.now() - start, 30);
}

REGISTER_TYPED_TEST_SUITE_P(
    EventLoopConformance, StartRestartsTheCountdown, ChangingTheIntervalOfARunningTimerRestartsIt,
    TimerTicksUntilStopped, TimerStoppedInsideItsOwnTick, TimerDestroyedInsideItsOwnTick,
    TimerDestroyedByAnEarlierCallbackOfTheSamePassDoesNotRun,
    IntervalZeroOrLessNeverFiresAndDoesNotWake, TimersFireInDeadlineOrder,
    LateTickIsNotFollowedByABurst, TimerCreatedAndStartedInsideACallbackRuns,
    WatchCallsWhileReadable, WatchWakesTheBlockingStep, DisabledWatchNeitherCallsNorWakes,
    WatchDestroyedInsideItsOwnCallback, NestedDispatchDoesNotReenterTheRunningTimer,
    NestedDispatchDoesNotReenterTheRunningWatch, ReadableWakeFdReturnsAtOnceAndCallsNothing,
    WakeFdEndsTheWaitWhenItBecomesReadable, MaxWaitBoundsTheWait,
    BlockingStepWakesForTheNextDeadline);

}  // namespace velka
