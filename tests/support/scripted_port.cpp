#include "tests/support/scripted_port.h"

#include <algorithm>

namespace velka {

ScriptedPort::ScriptedPort(VirtualEventLoop& loop) : loop_(loop) {
  handle_ = loop_.addSource(this);
}

ScriptedPort::~ScriptedPort() {
  watch_.reset();
  loop_.removeSource(handle_);
}

bool ScriptedPort::open(int port_number, int baud) {
  if (!fail_open_.empty()) {
    last_error_ = fail_open_;
    fail_open_.clear();
    return false;
  }
  if (port_number < 1) {
    last_error_ = "no such port";
    return false;
  }
  if (open_) {
    last_error_ = "port already open";
    return false;
  }
  open_ = true;
  hung_up_ = false;
  threshold_ = 0;
  baud_ = baud;
  port_number_ = port_number;
  ++open_count_;
  last_error_.clear();
  updateWatch();
  return true;
}

void ScriptedPort::close() {
  open_ = false;
  threshold_ = 0;
  incoming_.clear();
  output_bytes_ = 0;
  output_done_at_ = 0;
  updateWatch();
}

std::size_t ScriptedPort::bytesWaiting() {
  if (!open_ || hung_up_) return 0;
  const Millis now = loop_.now();
  return static_cast<std::size_t>(std::count_if(incoming_.begin(), incoming_.end(),
                                                [&](const Arrival& a) { return a.at <= now; }));
}

Bytes ScriptedPort::readAll() {
  Bytes bytes;
  if (!open_ || hung_up_) return bytes;
  const Millis now = loop_.now();
  while (!incoming_.empty() && incoming_.front().at <= now) {
    bytes.push_back(incoming_.front().byte);
    incoming_.pop_front();
  }
  return bytes;
}

bool ScriptedPort::write(const Bytes& bytes) {
  if (!open_ || hung_up_) return false;
  const Millis now = loop_.now();
  written_.push_back({now, bytes});
  if (drain_ms_ > 0) {
    if (now >= output_done_at_) {
      output_bytes_ = 0;
      output_started_at_ = now;
    }
    output_bytes_ += bytes.size();
    output_done_at_ = now + drain_ms_;
  }
  if (reaction_) {
    auto reaction = reaction_;  // the reaction may replace itself
    reaction(bytes);
  }
  return true;
}

void ScriptedPort::discardInput() {
  (void)readAll();
}

std::size_t ScriptedPort::outputPending() {
  const Millis now = loop_.now();
  if (!open_ || now >= output_done_at_ || output_bytes_ == 0) return 0;
  const Millis span = std::max<Millis>(1, output_done_at_ - output_started_at_);
  const Millis left = output_done_at_ - now;
  const auto pending = (static_cast<Millis>(output_bytes_) * left + span - 1) / span;
  return static_cast<std::size_t>(std::max<Millis>(1, pending));
}

void ScriptedPort::setReceiveThreshold(int threshold) {
  threshold_ = threshold;
  updateWatch();
}

NativeHandle ScriptedPort::readinessHandle() const {
  return open_ && !hung_up_ ? handle_ : kNoHandle;
}

void ScriptedPort::setEventHandler(std::function<void(int code)> handler) {
  handler_ = std::move(handler);
  updateWatch();
}

void ScriptedPort::sendAfter(Millis delay_ms, const Bytes& bytes) {
  Millis at = loop_.now() + std::max<Millis>(0, delay_ms);
  if (!incoming_.empty()) at = std::max(at, incoming_.back().at);
  for (const std::uint8_t byte : bytes) incoming_.push_back({at, byte});
}

void ScriptedPort::sendAfter(Millis delay_ms, const std::string& bytes) {
  sendAfter(delay_ms, Bytes(bytes.begin(), bytes.end()));
}

void ScriptedPort::onWrite(std::function<void(const Bytes& written)> reaction) {
  reaction_ = std::move(reaction);
}

void ScriptedPort::hangUp() {
  const bool told = !open_ || hung_up_;
  hung_up_ = true;
  incoming_.clear();
  updateWatch();
  if (!told && hang_up_handler_) {
    auto handler = hang_up_handler_;  // the handler may replace itself
    handler();
  }
}

void ScriptedPort::signalLineError(int code) {
  if (open_ && handler_) {
    auto handler = handler_;
    handler(code);
  }
}

bool ScriptedPort::readable(Millis now) const {
  return open_ && !hung_up_ && !incoming_.empty() && incoming_.front().at <= now;
}

std::optional<Millis> ScriptedPort::nextReadyTime(Millis now) const {
  if (!open_ || hung_up_ || incoming_.empty()) return std::nullopt;
  const Millis at = incoming_.front().at;
  if (at <= now) return now;
  return at;
}

// Receive events while the threshold is 1, as a real port raises them: level-triggered, for
// as long as bytes are waiting.
void ScriptedPort::updateWatch() {
  const bool wanted = open_ && !hung_up_ && threshold_ == 1 && handler_;
  if (!wanted) {
    watch_.reset();
    return;
  }
  if (watch_) return;
  watch_ = loop_.watchReadable(handle_, [this] {
    if (threshold_ == 1 && handler_ && bytesWaiting() > 0) {
      auto handler = handler_;
      handler(kCommEventReceive);
    }
  });
}

}  // namespace velka
