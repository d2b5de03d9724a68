#include "tests/support/scripted_register.h"

#include <utility>

#include "tests/support/block_check.h"

namespace velka {

namespace {

constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kEtx = 0x03;
constexpr std::uint8_t kAck = 0x06;

}  // namespace

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
  return answering([reply = std::move(reply)](const Received&) { return reply; });
}

ScriptedRegister& ScriptedRegister::answering(Responder responder) {
  standing_ = std::move(responder);
  return *this;
}

void ScriptedRegister::onWrite(const Bytes& written) {
  if (written.size() == 1) {
    reply_bytes_.push_back(written[0]);
    return;
  }
  // Anything else counts as one frame to answer, even when it is none.
  const Received frame = Read(written);
  commands_.push_back(frame.command);
  frame_times_.push_back(port_.now());
  Reply reply;
  if (!script_.empty()) {
    reply = std::move(script_.front());
    script_.pop_front();
  } else if (standing_) {
    reply = standing_(frame);
  }
  for (const Send& send : reply) port_.sendAfter(send.delay_ms, send.bytes);
}

ScriptedRegister::Received ScriptedRegister::Read(const Bytes& frame) {
  if (frame.size() < 11 || frame.front() != kStx || frame.back() != kEtx) return {};
  return {std::string(frame.begin() + 7, frame.end() - 4), static_cast<char>(frame[6])};
}

Bytes ScriptedRegister::Frame(std::string_view data, char sequence) {
  const std::size_t length = data.size() % 1000;
  std::string body(1, static_cast<char>(kStx));
  body += "01";
  body.push_back(static_cast<char>('0' + length / 100));
  body.push_back(static_cast<char>('0' + length / 10 % 10));
  body.push_back(static_cast<char>('0' + length % 10));
  body.push_back('N');
  body.append(data);
  body.push_back(sequence);
  return testing::Closed(body);
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
  return {{1, Bytes{kAck}}, {answer_after_ms, answer}};
}

ScriptedRegister::Reply ScriptedRegister::AckWith(const Bytes& answer, Millis after_ms) {
  return Only(Join({Bytes{kAck}, answer}), after_ms);
}

}  // namespace velka
