#pragma once
// The system's own event loop, as a host that has a loop of another kind turns it: besides
// the EventLoop primitives, one handle that is ready whenever the loop has work, and the time
// until its next timer. A host watches the handle in its own loop (an asyncio reader, a
// toolkit's descriptor notifier, a Windows wait) and, when it is ready or the time has come,
// calls processPendingEvents(); between two such calls the host may sleep as long as it likes.
//
// Both are meant for the thread that turns the loop, between its calls into the loop; inside a
// callback of the loop they tell nothing useful.
#include "platform/event_loop.h"

namespace velka {

class SystemEventLoop : public EventLoop {
 public:
  // Ready (readable on POSIX, signalled on Windows) while a timer is due or a watched handle
  // is readable; processPendingEvents() dispatches that work and leaves it not ready again
  // unless more is due. The handle belongs to the loop and stays the same for its life; a host
  // only waits on it, never reads it nor closes it. kNoHandle when the system cannot make one
  // (out of descriptors); the host must then turn the loop by the time of the next timer.
  virtual NativeHandle readinessHandle() = 0;

  // Milliseconds until the next timer is due: 0 when one is due now, -1 when none is running.
  virtual Millis millisUntilNextTimer() const = 0;
};

}  // namespace velka
