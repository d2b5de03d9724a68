// The precise alarm on a timerfd of the monotonic clock, armed at an absolute time.
#include "platform/precise_alarm.h"

#include <sys/timerfd.h>
#include <unistd.h>

namespace velka {

namespace {

class TimerFdAlarm : public PreciseAlarm {
 public:
  explicit TimerFdAlarm(int fd) : fd_(fd) {}
  ~TimerFdAlarm() override { ::close(fd_); }
  TimerFdAlarm(const TimerFdAlarm&) = delete;
  TimerFdAlarm& operator=(const TimerFdAlarm&) = delete;

  // Arming the timer also drops the expirations counted so far.
  void set(Micros at_us) override {
    itimerspec due{};
    // 0 would disarm it: a moment at or before the clock's origin is due at once anyway.
    const Micros at = at_us > 0 ? at_us : 1;
    due.it_value.tv_sec = static_cast<time_t>(at / 1'000'000);
    due.it_value.tv_nsec = static_cast<long>(at % 1'000'000) * 1000L;
    ::timerfd_settime(fd_, TFD_TIMER_ABSTIME, &due, nullptr);
  }
  void clear() override {
    const itimerspec off{};
    ::timerfd_settime(fd_, 0, &off, nullptr);
  }
  NativeHandle handle() const override { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<PreciseAlarm> PreciseAlarm::Create() {
  const int fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (fd < 0) return nullptr;
  return std::make_unique<TimerFdAlarm>(fd);
}

}  // namespace velka
