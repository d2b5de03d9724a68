#pragma once
// An alarm finer than the event loop's timers: a handle that becomes readable once the
// monotonic clock reaches a moment given in microseconds, for the event loop to watch. The
// loop's timers count whole milliseconds and a wait may end up to one late; the simulated
// register paces its wire with this instead, so that a byte is handed over when its last bit
// would have arrived and not a millisecond after.
//
// The poll loop's readiness descriptor is readable at its next timer deadline by one of these.
// On POSIX a timerfd; no Windows implementation (neither user is built there).
#include <memory>

#include "platform/monotonic_clock.h"
#include "platform/native_handle.h"

namespace velka {

class PreciseAlarm {
 public:
  // Null when the system has no alarm to give: the caller falls back on the loop's timers.
  static std::unique_ptr<PreciseAlarm> Create();
  virtual ~PreciseAlarm() = default;

  // Readable from at_us on (at once when it has passed), until set again or cleared.
  virtual void set(Micros at_us) = 0;
  // Not readable, and not armed.
  virtual void clear() = 0;
  virtual NativeHandle handle() const = 0;
};

}  // namespace velka
