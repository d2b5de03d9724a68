#pragma once
// The timing of a serial line: 10 bits per byte at the line speed. A pseudo-terminal carries
// bytes at once; the pacer says when each byte would have finished on a real wire, so the
// register sends at the line's pace and takes a frame as received only when its last byte
// would have arrived. Speed 0: no pacing, every byte is due at once.
#include <cstdint>
#include <deque>
#include <optional>

#include "platform/event_loop.h"
#include "sim/register_frames.h"

namespace velka::sim {

class WirePacer {
 public:
  explicit WirePacer(int baud = 0) { setBaud(baud); }
  void setBaud(int baud);
  int baud() const { return baud_; }

  // Bytes handed to the line at `now`; they follow the bytes still queued.
  void push(const Bytes& bytes, Millis now);
  // The bytes whose last bit has passed by `now`.
  Bytes takeDue(Millis now);
  // When the next queued byte is due (in whole milliseconds, rounded up); nothing when empty.
  std::optional<Millis> nextDue() const;
  // When the last byte handed over is (or was) done.
  Millis idleAt() const { return static_cast<Millis>((last_done_us_ + 999) / 1000); }
  bool empty() const { return queue_.empty(); }
  std::size_t queued() const { return queue_.size(); }
  void clear();

 private:
  struct Timed {
    std::int64_t done_us;
    std::uint8_t byte;
  };
  int baud_ = 0;
  std::int64_t byte_ns_ = 0;  // one byte on the wire
  std::int64_t last_done_ns_ = 0;
  std::int64_t last_done_us_ = 0;
  std::deque<Timed> queue_;
};

}  // namespace velka::sim
