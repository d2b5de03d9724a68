#pragma once
// EventLoop on the thread's message queue and waitable handles: the Windows loop of the
// control (when its host gives none) and of the headless server. The blocking step sleeps in
// MsgWaitForMultipleObjectsEx until a timer is due, a watched handle is signalled or a message
// arrives for a window of the thread; each step dispatches the thread's window messages, so a
// host's windows stay alive while the control waits for the register, as with the message pump
// of a modal wait.
//
// Watched handles must be manual-reset (a port's readiness event, a waitable timer made for
// manual reset): the loop tests them without consuming their signal, and a handle is readable
// for as long as it stays signalled. At most 62 handles are watched at once (the system's limit
// for a wait that also wakes on messages, less the wake handle); more are never waited on.
//
// A host with a loop of its own turns this one by the time of its next timer and
// processPendingEvents(): Windows cannot fold several handles and the message queue into one
// waitable handle without a thread of its own, so readinessHandle() gives none.
#include <memory>

#include "platform/system_event_loop.h"

namespace velka {

class MessageEventLoop : public SystemEventLoop {
 public:
  MessageEventLoop();
  ~MessageEventLoop() override;
  MessageEventLoop(const MessageEventLoop&) = delete;
  MessageEventLoop& operator=(const MessageEventLoop&) = delete;

  Millis now() const override;
  std::unique_ptr<Timer> createTimer(std::function<void()> on_tick) override;
  std::unique_ptr<ReadWatch> watchReadable(NativeHandle handle,
                                           std::function<void()> on_readable) override;
  void processPendingEvents() override;
  void waitForEvents(NativeHandle wake = kNoHandle, Millis max_wait_ms = -1) override;
  NativeHandle readinessHandle() override { return kNoHandle; }
  Millis millisUntilNextTimer() const override;

  struct Impl;

 private:
  std::shared_ptr<Impl> impl_;
};

}  // namespace velka
