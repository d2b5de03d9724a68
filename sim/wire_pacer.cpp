#include "sim/wire_pacer.h"

#include <algorithm>

namespace velka::sim {

namespace {

// Nanoseconds to whole microseconds, rounded up: a byte is never due before its last bit.
Micros UpToMicros(std::int64_t ns) {
  return (ns + 999) / 1000;
}

}  // namespace

void WirePacer::setBaud(int baud) {
  baud_ = baud > 0 ? baud : 0;
  // 10 bits a byte: start, 8 data, stop.
  byte_ns_ = baud_ > 0 ? 10'000'000'000LL / baud_ : 0;
}

void WirePacer::push(const Bytes& bytes, Micros at_us) {
  std::int64_t t = std::max(last_done_ns_, at_us * 1000);
  for (std::uint8_t byte : bytes) {
    t += byte_ns_;
    queue_.push_back({UpToMicros(t), byte});
  }
  last_done_ns_ = t;
  last_done_us_ = UpToMicros(t);
}

Bytes WirePacer::takeDue(Micros at_us) {
  Bytes due;
  while (!queue_.empty() && queue_.front().done_us <= at_us) {
    due.push_back(queue_.front().byte);
    queue_.pop_front();
  }
  return due;
}

std::optional<Micros> WirePacer::nextDue() const {
  if (queue_.empty()) return std::nullopt;
  return queue_.front().done_us;
}

std::optional<Micros> WirePacer::lastDue() const {
  if (queue_.empty()) return std::nullopt;
  return queue_.back().done_us;
}

std::optional<Micros> WirePacer::nextHandOver(Micros batch_us) const {
  if (queue_.empty()) return std::nullopt;
  return std::min(queue_.back().done_us, queue_.front().done_us + batch_us);
}

Micros WirePacer::wireTime(std::size_t bytes) const {
  return UpToMicros(static_cast<std::int64_t>(bytes) * byte_ns_);
}

void WirePacer::clear() {
  queue_.clear();
}

}  // namespace velka::sim
