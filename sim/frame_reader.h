#pragma once
// Finds the control's command frames in whatever bytes arrive, in any split.
//
// A frame runs from STX to the first ETX after it; it is at most kMaxFrameBytes long. The
// reader never trusts the length field: it checks it against the text it got. Memory is
// bounded whatever arrives: a stream with no ETX is dropped once it passes the frame limit,
// and bytes are skipped until the next STX.
#include <cstddef>
#include <string>
#include <vector>

#include "sim/register_frames.h"

namespace velka::sim {

enum class FrameFault {
  None,
  TooShort,     // fewer bytes than an empty frame
  BadAddress,   // offsets 1-2 are not "01"
  BadLength,    // the length field is not three digits, or not the text's length
  BadKind,      // offset 6 is neither "N" nor "V"
  BadSequence,  // the sequence digit is not "0".."9"
  BadCheck,     // the check digits are not the upper-case hex of the frame's check
  TooLong,      // no ETX within kMaxFrameBytes
};

const char* FrameFaultText(FrameFault fault);

struct FrameEvent {
  enum class Type {
    Frame,      // a good frame: kind, sequence, text
    Rejected,   // a bad frame, to be answered with NACK: fault
    Abandoned,  // a frame cut short by a new STX (the sender started again): no reply
    Control,    // ACK or NACK between frames: control_byte
    Garbage,    // other bytes between frames, skipped
  };
  Type type = Type::Garbage;
  FrameFault fault = FrameFault::None;
  char kind = 0;
  char sequence = 0;
  std::string text;
  std::uint8_t control_byte = 0;
  Bytes raw;              // the bytes the event stands for (at most kMaxFrameBytes)
  std::size_t count = 0;  // how many bytes it stands for (more than raw for long garbage)
};

class FrameReader {
 public:
  // Takes the next bytes from the line; returns what they completed, in order.
  std::vector<FrameEvent> feed(const std::uint8_t* data, std::size_t size);
  std::vector<FrameEvent> feed(const Bytes& bytes) { return feed(bytes.data(), bytes.size()); }
  // Forgets a partial frame (the other side went away).
  void reset();
  // Bytes held for a frame not yet complete.
  std::size_t pending() const { return partial_.size(); }

  static constexpr std::size_t kGarbageShown = 64;

 private:
  void flushGarbage(std::vector<FrameEvent>& events);
  void addGarbage(std::uint8_t byte);
  FrameEvent judge() const;

  Bytes partial_;  // from STX, while in_frame_
  bool in_frame_ = false;
  Bytes garbage_;
  std::size_t garbage_count_ = 0;
};

}  // namespace velka::sim
