#pragma once
// EventLoop on poll(2) and a timer heap: the POSIX loop of the headless server and of any host
// that brings no loop of its own (CreateSystemEventLoop() makes it). Its readiness descriptor
// (an epoll set with a timerfd, loop_readiness.h) is made at the first readinessHandle() and
// kept up to date from then on.
#include <memory>

#include "platform/system_event_loop.h"

namespace velka {

class PollEventLoop : public SystemEventLoop {
 public:
  PollEventLoop();
  ~PollEventLoop() override;
  PollEventLoop(const PollEventLoop&) = delete;
  PollEventLoop& operator=(const PollEventLoop&) = delete;

  Millis now() const override;
  std::unique_ptr<Timer> createTimer(std::function<void()> on_tick) override;
  std::unique_ptr<ReadWatch> watchReadable(NativeHandle fd,
                                           std::function<void()> on_readable) override;
  void processPendingEvents() override;
  void waitForEvents(NativeHandle wake_fd = kNoHandle, Millis max_wait_ms = -1) override;
  NativeHandle readinessHandle() override;
  Millis millisUntilNextTimer() const override;

  struct Impl;

 private:
  std::shared_ptr<Impl> impl_;
};

}  // namespace velka
