#pragma once
// The one event loop of a program: timers, watches of native handles and a blocking step.
//
// Every program of the system runs on one thread. Waits of the register link do not spin:
// they call waitForEvents(), which sleeps in the kernel until a timer is due or a watched
// handle becomes ready, and dispatches what is due before returning, exactly as a window
// system's message pump lets pending events run inside a modal wait.
//
// Re-entrancy rules, common to every implementation:
// - Every callback may call processPendingEvents() and waitForEvents() (nested dispatch).
// - While a timer's callback runs, that timer is not dispatched again by a nested call;
//   the same holds for a watch. Other timers and watches are.
// - Every callback may create, start, stop and destroy any timer or watch, its own included.
// - Destroying the Timer or ReadWatch object unregisters it at once.
#include <functional>
#include <memory>

#include "platform/monotonic_clock.h"
#include "platform/native_handle.h"

namespace velka {

class Timer {
 public:
  virtual ~Timer() = default;
  // Period in milliseconds. A timer whose period is 0 or less never fires, as with a
  // window-system timer of interval 0. Changing the period of a running timer restarts it.
  virtual void setInterval(Millis interval_ms) = 0;
  virtual Millis interval() const = 0;
  // Starts the timer, or restarts its countdown from now when it is running. It then ticks
  // every interval until stop() is called.
  virtual void start() = 0;
  virtual void stop() = 0;
  virtual bool isActive() const = 0;
};

class ReadWatch {
 public:
  virtual ~ReadWatch() = default;
  // A disabled watch never calls back and never wakes the blocking step.
  virtual void setEnabled(bool enabled) = 0;
  virtual bool isEnabled() const = 0;
};

class EventLoop {
 public:
  virtual ~EventLoop() = default;

  // Monotonic clock in milliseconds.
  virtual Millis now() const = 0;

  // A new, stopped timer with period 0.
  virtual std::unique_ptr<Timer> createTimer(std::function<void()> on_tick) = 0;

  // Calls on_readable while the handle is readable (level-triggered; a hang-up counts as
  // readable) and the watch is enabled. The callback must consume the bytes or disable the
  // watch, or the loop would keep calling it.
  virtual std::unique_ptr<ReadWatch> watchReadable(NativeHandle handle,
                                                   std::function<void()> on_readable) = 0;

  // Dispatches due timers and ready watches once, without blocking.
  virtual void processPendingEvents() = 0;

  // The blocking step: sleeps until the next timer deadline, until a watched handle is
  // readable, until wake (when not kNoHandle) is readable, or until max_wait_ms have passed
  // (when not negative), then dispatches what is due. wake only wakes the step; nothing is
  // called for it. Returns at once, without sleeping, when wake is already readable.
  virtual void waitForEvents(NativeHandle wake = kNoHandle, Millis max_wait_ms = -1) = 0;
};

}  // namespace velka
