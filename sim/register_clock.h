#pragma once
// The register's own clock: set by the control or the operator, it runs on from there with
// the steady time the caller passes in.
#include <cstdint>
#include <string>

#include "platform/event_loop.h"
#include "platform/local_time.h"

namespace velka::sim {

// Seconds since 1 January 1970 of a calendar date and time (no time zone involved).
std::int64_t SecondsOf(const LocalDateTime& t);
LocalDateTime DateTimeOf(std::int64_t seconds);

class RegisterClock {
 public:
  RegisterClock(const LocalDateTime& start, Millis start_ms);
  LocalDateTime at(Millis now_ms) const;
  void set(const LocalDateTime& t, Millis now_ms);

 private:
  std::int64_t base_seconds_;
  Millis base_ms_;
};

// "dd/mm/yy hh:mm:ss".
std::string ShortDateTime(const LocalDateTime& t);
// "ddmmyy".
std::string CompactDate(const LocalDateTime& t);

}  // namespace velka::sim
