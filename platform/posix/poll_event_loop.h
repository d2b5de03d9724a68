#pragma once
// EventLoop on poll(2) and a timer heap: the POSIX loop of the headless server and of any host
// that brings no loop of its own (CreateSystemEventLoop() makes it).
#include <memory>

#include "platform/event_loop.h"

namespace velka {

class PollEventLoop : public EventLoop {
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

  struct Impl;

 private:
  std::shared_ptr<Impl> impl_;
};

}  // namespace velka
