#pragma once
// The timers and watches of an event loop that keeps its own deadlines on the monotonic clock
// (PollEventLoop on POSIX, MessageEventLoop on Windows): their state, the Timer and ReadWatch
// objects handed out for them, the next deadline, and the dispatch of due timers in deadline
// order. How a loop tells that a watched handle is ready, and how it sleeps, is its own.
//
// The registry holds weak references only: a Timer or ReadWatch object owns its state, so
// destroying it (even from its own callback) unregisters it at once, and one that outlives the
// loop stays harmless. A registry is owned through a shared_ptr (Create()).
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/event_loop.h"

namespace velka {

struct LoopTimerState {
  std::function<void()> on_tick;
  Millis interval = 0;
  Millis deadline = 0;
  bool active = false;
  bool running = false;     // its callback is on the stack
  unsigned long order = 0;  // dispatch order of timers due at the same moment
  bool due(Millis now) const { return active && !running && interval > 0 && deadline <= now; }
};

struct LoopWatchState {
  NativeHandle handle = kNoHandle;
  std::function<void()> on_ready;
  bool enabled = true;
  bool running = false;  // its callback is on the stack
  bool invalid = false;  // the loop found the handle closed: never waited on again
  bool waitable() const { return enabled && !running && !invalid; }
};

class LoopRegistry : public std::enable_shared_from_this<LoopRegistry> {
 public:
  static std::shared_ptr<LoopRegistry> Create();

  std::unique_ptr<Timer> createTimer(std::function<void()> on_tick);
  std::unique_ptr<ReadWatch> createWatch(NativeHandle handle, std::function<void()> on_ready);

  // The earliest deadline of a running timer that may fire; nothing when there is none.
  std::optional<Millis> nextDeadline();
  // Calls the due timers, earliest first (equal deadlines in the order they were started). A
  // late tick is not followed by a burst of ticks: the cadence restarts from now.
  void dispatchTimers();
  // The watches that may be waited on and called now, in the order they were made.
  std::vector<std::shared_ptr<LoopWatchState>> waitableWatches();
  // The handles of the enabled watches that are not known closed, a watch whose callback is
  // running included (it is waited on again once it returns).
  std::vector<NativeHandle> watchedHandles();
  // Calls a watch's callback, marked running for the time of the call.
  static void Call(LoopWatchState& watch);

  // Called after every change of a timer (started, stopped, new interval, destroyed) or of a
  // watch (made, enabled, disabled, destroyed): a loop that shows its readiness to a host's own
  // loop brings it up to date there.
  void setOnChange(std::function<void()> on_change) { on_change_ = std::move(on_change); }
  void changed() {
    if (on_change_) on_change_();
  }
  unsigned long nextOrder() { return next_order_++; }

 private:
  LoopRegistry() = default;

  std::vector<std::weak_ptr<LoopTimerState>> timers_;
  std::vector<std::weak_ptr<LoopWatchState>> watches_;
  unsigned long next_order_ = 0;
  std::function<void()> on_change_;
};

}  // namespace velka
