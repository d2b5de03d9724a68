#pragma once
// EventLoop on virtual time for the tests. The blocking step does not sleep: it advances the
// clock to the next timer deadline, or to the moment a virtual source (a scripted register)
// makes its next byte available, and dispatches. A test that waits through three 30-second
// time-outs runs in microseconds and gives the same result every time.
//
// Watches are on virtual handles only: a VirtualSource registered with the loop gets a handle
// that ports hand out as their readinessHandle().
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "platform/event_loop.h"

namespace velka {

// Something that becomes readable at known virtual times (the register side of a port).
class VirtualSource {
 public:
  virtual ~VirtualSource() = default;
  virtual bool readable(Millis now) const = 0;
  // The earliest time after now at which the source will be readable, if any.
  virtual std::optional<Millis> nextReadyTime(Millis now) const = 0;
};

// Thrown by the blocking step when nothing could ever wake it: a test that would hang.
class VirtualDeadlock : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

class VirtualEventLoop : public EventLoop {
 public:
  explicit VirtualEventLoop(Millis start_ms = 1'000'000);
  ~VirtualEventLoop() override;

  Millis now() const override { return now_; }
  std::unique_ptr<Timer> createTimer(std::function<void()> on_tick) override;
  std::unique_ptr<ReadWatch> watchReadable(NativeHandle handle,
                                           std::function<void()> on_readable) override;
  void processPendingEvents() override;
  void waitForEvents(NativeHandle wake = kNoHandle, Millis max_wait_ms = -1) override;

  // Registers a source and returns its virtual handle; unregister before destroying it.
  NativeHandle addSource(VirtualSource* source);
  void removeSource(NativeHandle handle);

  // Lets virtual time run for duration_ms, dispatching everything that falls due.
  void advance(Millis duration_ms);
  // Runs the blocking step until done() is true or limit_ms of virtual time have passed;
  // returns done().
  bool runUntil(const std::function<bool()>& done, Millis limit_ms);

  // Number of blocking steps taken (each would be one wake-up of a real loop).
  long wakeCount() const { return wake_count_; }

  struct TimerState;
  struct WatchState;

 private:
  bool sourceReadable(NativeHandle handle) const;
  std::optional<Millis> sourceNextReady(NativeHandle handle) const;

  Millis now_;
  long wake_count_ = 0;
  std::vector<std::weak_ptr<TimerState>> timers_;
  std::vector<std::weak_ptr<WatchState>> watches_;
  struct SourceEntry {
    NativeHandle handle;
    VirtualSource* source;
  };
  std::vector<SourceEntry> sources_;
  long next_handle_ = 1'000'000;  // numbers far from any real descriptor
  long next_sequence_ = 0;
};

}  // namespace velka
