// Any bytes, in any split, to the simulated register's frame reader and on through its link
// session and model: nothing may crash, hang or grow without bound, and everything the
// register sends back must be well formed.
#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/frame_reader.h"
#include "sim/register_model.h"
#include "sim/register_session.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/support/block_check.h"

namespace {

using namespace velka::sim;
using velka::fuzz::Require;

// An answer frame or ACK/NACK, or data lines followed by a 21-byte status answer.
void CheckSent(const Bytes& bytes, bool corrupted_check_allowed) {
  Require(!bytes.empty());
  if (bytes.size() == 1) {
    Require(bytes[0] == ACK || bytes[0] == NACK);
    return;
  }
  Require(bytes.back() == ETX);
  std::size_t stx = bytes.size();
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == STX) {
      Require(stx == bytes.size());  // one frame only
      stx = i;
    }
  }
  Require(stx < bytes.size());
  const std::size_t n = bytes.size() - stx;
  Require(n >= 11 && n <= kMaxFrameBytes);
  const std::string length(bytes.begin() + stx + 3, bytes.begin() + stx + 6);
  Require(std::stoul(length) + 10 == n);
  // The tests' own check, not the simulator's: the frame alone, without what precedes it.
  if (!corrupted_check_allowed) {
    Require(velka::testing::BlockCheckMatches(Bytes(bytes.begin() + stx, bytes.end())));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the split of the rest into reads, and a fault or two.
  const std::uint8_t control = data[0];
  const std::size_t chunk = control % 17 + 1;
  ++data;
  --size;

  FrameReader reader;
  RegisterModel model(velka::LocalDateTime{2026, 12, 6, 18, 30, 0}, 0);
  RegisterSession session(model, 200);
  if (control & 0x20) session.faults().badbcc = 1;
  if (control & 0x40) model.setCondition(Condition::CoverOpen, true, 0);
  if (control & 0x80) session.faults().loseack = 1;
  const bool corrupt = (control & 0x20) != 0;

  velka::Millis now = 0;
  for (std::size_t at = 0; at < size; at += chunk) {
    const Bytes read(data + at, data + std::min(size, at + chunk));
    for (const FrameEvent& event : reader.feed(read)) {
      Require(event.raw.size() <= kMaxFrameBytes);
      if (event.type == FrameEvent::Type::Frame) {
        Require(event.text.size() <= kMaxTextLength);
        Require(event.raw.size() == event.text.size() + 11);
      }
    }
    Require(reader.pending() <= kMaxFrameBytes);

    session.receive(read, now);
    for (int steps = 0; steps < 64; ++steps) {
      const Bytes sent = session.transmit(now);
      if (sent.empty()) break;
      CheckSent(sent, corrupt);
      session.lineFree(now);
    }
    now += 250;  // past the answer gap: what waits for a verdict goes next time
  }

  // The same bytes as command strings, one a line, straight to the model: its parsers see
  // texts the frame check would rarely let through.
  std::string line;
  for (std::size_t i = 0; i <= size; ++i) {
    if (i == size || data[i] == '\n') {
      if (line.size() <= kMaxTextLength) model.execute(line, now);
      line.clear();
    } else {
      line += static_cast<char>(data[i]);
    }
  }
  return 0;
}
