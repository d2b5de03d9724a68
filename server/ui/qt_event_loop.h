#pragma once
// EventLoop on Qt's own event loop: the loop of the server's window face. Timers are QTimers,
// watches are QSocketNotifiers, and the blocking step is
// QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents). So while the control waits
// for the register, the window repaints, its menus answer and host timers tick, and the
// process still sleeps in the kernel between events.
//
// The blocking step returns once one of this loop's timers or watches has run, the wake
// handle is readable, or the bound has passed; the window's own events (paint, input, the
// window system's messages) are dispatched along the way without ending it.
//
// A QCoreApplication (or QApplication) must exist for as long as the loop and its timers
// and watches do, on the same thread.
#include <memory>

#include "platform/event_loop.h"

namespace velka::server::ui {

class QtEventLoop : public EventLoop {
 public:
  QtEventLoop();
  ~QtEventLoop() override;
  QtEventLoop(const QtEventLoop&) = delete;
  QtEventLoop& operator=(const QtEventLoop&) = delete;

  Millis now() const override;
  std::unique_ptr<Timer> createTimer(std::function<void()> on_tick) override;
  std::unique_ptr<ReadWatch> watchReadable(NativeHandle handle,
                                           std::function<void()> on_readable) override;
  void processPendingEvents() override;
  void waitForEvents(NativeHandle wake = kNoHandle, Millis max_wait_ms = -1) override;

  // Shared with the timers and watches, which may outlive the loop.
  struct Dispatches {
    unsigned long count = 0;  // callbacks of this loop's timers and watches run so far
  };

 private:
  std::shared_ptr<Dispatches> dispatches_;
};

}  // namespace velka::server::ui
