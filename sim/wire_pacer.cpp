#include "sim/wire_pacer.h"

#include <algorithm>

namespace velka::sim {

void WirePacer::setBaud(int baud) {
  baud_ = baud > 0 ? baud : 0;
  // 10 bits a byte: start, 8 data, stop.
  byte_ns_ = baud_ > 0 ? 10'000'000'000LL / baud_ : 0;
}

void WirePacer::push(const Bytes& bytes, Millis now) {
  const std::int64_t now_ns = now * 1'000'000;
  std::int64_t t = std::max(last_done_ns_, now_ns);
  for (std::uint8_t byte : bytes) {
    t += byte_ns_;
    queue_.push_back({(t + 999) / 1000, byte});
  }
  last_done_ns_ = t;
  last_done_us_ = (t + 999) / 1000;
}

Bytes WirePacer::takeDue(Millis now) {
  Bytes due;
  const std::int64_t now_us = now * 1000;
  while (!queue_.empty() && queue_.front().done_us <= now_us) {
    due.push_back(queue_.front().byte);
    queue_.pop_front();
  }
  return due;
}

std::optional<Millis> WirePacer::nextDue() const {
  if (queue_.empty()) return std::nullopt;
  return static_cast<Millis>((queue_.front().done_us + 999) / 1000);
}

void WirePacer::clear() {
  queue_.clear();
}

}  // namespace velka::sim
