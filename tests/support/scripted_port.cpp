#include "tests/support/scripted_port.h"

#include <algorithm>

namespace velka {

namespace {
constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kEtx = 0x03;
constexpr char kHex[] = "0123456789ABCDEF";
}  // namespace

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
  hung_up_ = true;
  incoming_.clear();
  updateWatch();
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

// The scripted register.

ScriptedRegister::ScriptedRegister(ScriptedPort& port) : port_(port) {
  port_.onWrite([this](const Bytes& written) { onWrite(written); });
}

ScriptedRegister::~ScriptedRegister() {
  port_.onWrite(nullptr);
}

ScriptedRegister& ScriptedRegister::then(Reply reply) {
  script_.push_back(std::move(reply));
  return *this;
}

ScriptedRegister& ScriptedRegister::always(Reply reply) {
  standing_ = std::move(reply);
  return *this;
}

void ScriptedRegister::onWrite(const Bytes& written) {
  if (written.size() == 1) {
    reply_bytes_.push_back(written[0]);
    return;
  }
  // A command frame: STX "01" LLL kind text digit check check ETX.
  if (written.size() >= 11 && written.front() == kStx && written.back() == kEtx) {
    commands_.emplace_back(written.begin() + 7, written.end() - 4);
  } else {
    commands_.emplace_back();  // not a frame: still counts as one write to answer
  }
  frame_times_.push_back(port_.now());
  Reply reply = standing_;
  if (!script_.empty()) {
    reply = std::move(script_.front());
    script_.pop_front();
  }
  for (const Send& send : reply) port_.sendAfter(send.delay_ms, send.bytes);
}

Bytes ScriptedRegister::Frame(std::string_view data, char sequence) {
  const std::size_t length = data.size() % 1000;
  std::string text = "01";
  text.push_back(static_cast<char>('0' + length / 100));
  text.push_back(static_cast<char>('0' + length / 10 % 10));
  text.push_back(static_cast<char>('0' + length % 10));
  text.push_back('N');
  text.append(data);
  text.push_back(sequence);
  Bytes frame;
  frame.reserve(text.size() + 4);
  frame.push_back(kStx);
  frame.insert(frame.end(), text.begin(), text.end());
  std::uint8_t check = 0;
  for (const std::uint8_t byte : frame) check ^= byte;
  frame.push_back(static_cast<std::uint8_t>(kHex[check >> 4]));
  frame.push_back(static_cast<std::uint8_t>(kHex[check & 0x0F]));
  frame.push_back(kEtx);
  return frame;
}

Bytes ScriptedRegister::Status(char s13, char s14, char s15) {
  // Data field at s + 7 .. s + 16: kind, s + 8 .. s + 12, then s + 13 .. s + 16.
  std::string data = "O00000";
  data.push_back(s13);
  data.push_back(s14);
  data.push_back(s15);
  data.push_back('0');
  return Frame(data);
}

Bytes ScriptedRegister::ErrorStatus(char condition, std::string_view number, bool reports_again) {
  std::string data = "E";
  data.push_back(condition);
  data.append(std::string(number).substr(0, 4));
  data.resize(6, '0');
  data.append("00");
  data.push_back(reports_again ? '1' : '0');
  data.push_back('0');
  return Frame(data);
}

Bytes ScriptedRegister::Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

ScriptedRegister::Reply ScriptedRegister::AckThen(const Bytes& answer, Millis answer_after_ms) {
  return {{1, Bytes{0x06}}, {answer_after_ms, answer}};
}

}  // namespace velka
