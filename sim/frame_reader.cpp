#include "sim/frame_reader.h"

namespace velka::sim {

namespace {

bool IsDigit(std::uint8_t c) {
  return c >= '0' && c <= '9';
}

}  // namespace

const char* FrameFaultText(FrameFault fault) {
  switch (fault) {
    case FrameFault::None:
      return "good frame";
    case FrameFault::TooShort:
      return "frame too short";
    case FrameFault::BadAddress:
      return "wrong address";
    case FrameFault::BadLength:
      return "length field does not match the text";
    case FrameFault::BadKind:
      return "unknown kind letter";
    case FrameFault::BadSequence:
      return "sequence digit is not a digit";
    case FrameFault::BadCheck:
      return "wrong block check";
    case FrameFault::TooLong:
      return "no ETX within the frame limit";
  }
  return "?";
}

void FrameReader::reset() {
  partial_.clear();
  in_frame_ = false;
  garbage_.clear();
  garbage_count_ = 0;
}

void FrameReader::addGarbage(std::uint8_t byte) {
  if (garbage_.size() < kGarbageShown) garbage_.push_back(byte);
  ++garbage_count_;
}

void FrameReader::flushGarbage(std::vector<FrameEvent>& events) {
  if (garbage_count_ == 0) return;
  FrameEvent event;
  event.type = FrameEvent::Type::Garbage;
  event.raw = std::move(garbage_);
  event.count = garbage_count_;
  events.push_back(std::move(event));
  garbage_.clear();
  garbage_count_ = 0;
}

std::vector<FrameEvent> FrameReader::feed(const std::uint8_t* data, std::size_t size) {
  std::vector<FrameEvent> events;
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint8_t byte = data[i];
    if (byte == STX) {
      flushGarbage(events);
      if (in_frame_) {
        FrameEvent abandoned;
        abandoned.type = FrameEvent::Type::Abandoned;
        abandoned.count = partial_.size();
        abandoned.raw = std::move(partial_);
        events.push_back(std::move(abandoned));
      }
      partial_.assign(1, STX);
      in_frame_ = true;
      continue;
    }
    if (!in_frame_) {
      if (byte == ACK || byte == NACK) {
        flushGarbage(events);
        FrameEvent control;
        control.type = FrameEvent::Type::Control;
        control.control_byte = byte;
        control.raw.assign(1, byte);
        control.count = 1;
        events.push_back(std::move(control));
      } else {
        addGarbage(byte);
      }
      continue;
    }
    partial_.push_back(byte);
    if (byte == ETX) {
      events.push_back(judge());
      partial_.clear();
      in_frame_ = false;
    } else if (partial_.size() >= kMaxFrameBytes) {
      // The last byte a frame may hold is its ETX: this one is past the limit.
      FrameEvent too_long;
      too_long.type = FrameEvent::Type::Rejected;
      too_long.fault = FrameFault::TooLong;
      too_long.count = partial_.size();
      too_long.raw = std::move(partial_);
      events.push_back(std::move(too_long));
      partial_.clear();
      in_frame_ = false;  // what follows is skipped up to the next STX
    }
  }
  flushGarbage(events);
  return events;
}

FrameEvent FrameReader::judge() const {
  const Bytes& f = partial_;
  FrameEvent event;
  event.type = FrameEvent::Type::Rejected;
  event.raw = f;
  event.count = f.size();
  const std::size_t n = f.size();
  auto reject = [&](FrameFault fault) {
    event.fault = fault;
    return event;
  };
  if (n < 11) return reject(FrameFault::TooShort);
  if (f[1] != '0' || f[2] != '1') return reject(FrameFault::BadAddress);
  if (!IsDigit(f[3]) || !IsDigit(f[4]) || !IsDigit(f[5])) return reject(FrameFault::BadLength);
  const std::size_t length = (f[3] - '0') * 100u + (f[4] - '0') * 10u + (f[5] - '0');
  if (length != n - 11) return reject(FrameFault::BadLength);
  if (f[6] != 'N' && f[6] != 'V') return reject(FrameFault::BadKind);
  const std::uint8_t sequence = f[7 + length];
  if (!IsDigit(sequence)) return reject(FrameFault::BadSequence);
  const std::string expected = CheckDigits(XorCheck(f.data(), f.data() + 8 + length));
  if (f[8 + length] != static_cast<std::uint8_t>(expected[0]) ||
      f[9 + length] != static_cast<std::uint8_t>(expected[1])) {
    return reject(FrameFault::BadCheck);
  }
  event.type = FrameEvent::Type::Frame;
  event.kind = static_cast<char>(f[6]);
  event.sequence = static_cast<char>(sequence);
  event.text.assign(f.begin() + 7, f.begin() + 7 + static_cast<std::ptrdiff_t>(length));
  return event;
}

}  // namespace velka::sim
