// The precise alarm: readable from its moment on, not before, and not once cleared.
#include "platform/precise_alarm.h"

#include <gtest/gtest.h>
#include <poll.h>

namespace velka {
namespace {

bool Readable(NativeHandle handle, int timeout_ms) {
  pollfd p{handle, POLLIN, 0};
  return ::poll(&p, 1, timeout_ms) > 0;
}

TEST(PreciseAlarmTest, ReadableFromItsMomentOnUntilClearedOrSetAgain) {
  const std::unique_ptr<PreciseAlarm> alarm = PreciseAlarm::Create();
  ASSERT_TRUE(alarm);
  EXPECT_FALSE(Readable(alarm->handle(), 0));

  const Micros at = MonotonicMicros() + 30'000;
  alarm->set(at);
  EXPECT_FALSE(Readable(alarm->handle(), 10));
  ASSERT_TRUE(Readable(alarm->handle(), 2000));
  EXPECT_GE(MonotonicMicros(), at);           // never early
  EXPECT_TRUE(Readable(alarm->handle(), 0));  // stays readable

  alarm->clear();
  EXPECT_FALSE(Readable(alarm->handle(), 50));

  alarm->set(MonotonicMicros() - 1000);  // passed already: at once
  EXPECT_TRUE(Readable(alarm->handle(), 10));
  alarm->set(MonotonicMicros() + 10'000'000);  // set again: not readable until then
  EXPECT_FALSE(Readable(alarm->handle(), 20));
}

}  // namespace
}  // namespace velka
