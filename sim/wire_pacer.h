#pragma once
// The timing of a serial line: 10 bits per byte at the line speed, in microseconds. A
// pseudo-terminal carries bytes at once; the pacer says when each byte would have finished on
// a real wire, so the register sends at the line's pace and takes a frame as received only
// when its last byte would have arrived. Speed 0: no pacing, every byte is due at once.
#include <cstdint>
#include <deque>
#include <optional>

#include "platform/monotonic_clock.h"
#include "sim/register_frames.h"

namespace velka::sim {

class WirePacer {
 public:
  explicit WirePacer(int baud = 0) { setBaud(baud); }
  void setBaud(int baud);
  int baud() const { return baud_; }

  // Bytes handed to the line at at_us; they follow the bytes still queued.
  void push(const Bytes& bytes, Micros at_us);
  // The bytes whose last bit has passed by at_us.
  Bytes takeDue(Micros at_us);
  // When the first and the last byte queued are due; nothing when empty.
  std::optional<Micros> nextDue() const;
  std::optional<Micros> lastDue() const;
  // When to hand over the next batch of bytes, so that none waits longer than batch_us after
  // it is due and the last byte of what is queued goes exactly when it is due: the earlier
  // of the last byte's moment and batch_us after the first byte's. Nothing when empty.
  std::optional<Micros> nextHandOver(Micros batch_us) const;
  // When the last byte handed over is (or was) done.
  Micros idleAt() const { return last_done_us_; }
  // The wire time of that many bytes.
  Micros wireTime(std::size_t bytes) const;
  bool empty() const { return queue_.empty(); }
  std::size_t queued() const { return queue_.size(); }
  void clear();

 private:
  struct Timed {
    Micros done_us;
    std::uint8_t byte;
  };
  int baud_ = 0;
  std::int64_t byte_ns_ = 0;  // one byte on the wire
  std::int64_t last_done_ns_ = 0;
  Micros last_done_us_ = 0;
  std::deque<Timed> queue_;
};

}  // namespace velka::sim
