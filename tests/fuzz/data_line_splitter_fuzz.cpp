// What a register sends after a data command, fed to the data-line splitter whole and in
// arbitrary chunks: the lines, the closing frame and the outcome must not depend on how the
// bytes were split, lines hold no CR or LF and stay within the line limit, and nothing after
// the end changes anything.
//
// Input: a byte choosing the chunk sizes, then the bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "control/link/data_line_splitter.h"
#include "control/link/frame_codec.h"
#include "control/link/link_limits.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

using namespace velka;
using fuzz::Require;
using Splitter = link::DataLineSplitter;

void CheckLines(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    Require(line.size() <= link::kMaxDataLine);
    Require(line.find_first_of("\r\n") == std::string::npos);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput input(data, size);
  const std::uint8_t split = input.take();
  const Bytes bytes = input.rest();

  Splitter whole;
  std::vector<std::string> whole_lines;
  const Splitter::Progress whole_end = whole.feed(bytes, whole_lines);
  CheckLines(whole_lines);

  // Chunks of 1 to 8 bytes, in a pattern the first byte chooses.
  Splitter pieces;
  std::vector<std::string> piece_lines;
  std::size_t at = 0;
  for (unsigned step = 0; at < bytes.size(); ++step) {
    const std::size_t n = ((split >> (step % 8)) & 0x07) + 1;
    const std::size_t end = std::min(bytes.size(), at + n);
    pieces.feed(Bytes(bytes.begin() + at, bytes.begin() + end), piece_lines);
    at = end;
  }

  Require(pieces.progress() == whole_end);
  Require(piece_lines == whole_lines);
  Require(pieces.frameStore() == whole.frameStore());
  Require(pieces.lineUnderConstruction() == whole.lineUnderConstruction());
  Require(whole.lineUnderConstruction().size() <= link::kMaxDataLine);

  const Bytes& store = whole.frameStore();
  Require(store.size() == link::kStatusAnswerLength);
  for (std::size_t i = 1; i + 1 < store.size(); ++i) {
    const std::uint8_t b = store[i];
    Require(b != link::CR && b != link::LF && b != link::ACK && b != link::STX && b != link::ETX);
  }
  // An ETX ends the stream even without an STX before it; answer reception then refuses the
  // store, whose first byte is not STX.
  if (whole_end == Splitter::Progress::FrameEnded) Require(store.back() == link::ETX);

  // Once the stream has ended, more bytes are dropped.
  if (whole_end != Splitter::Progress::NeedMore) {
    std::vector<std::string> more;
    const Bytes after = {'X', link::CR, link::LF, link::STX, 'Y', link::ETX};
    Require(whole.feed(after, more) == whole_end);
    Require(more.empty() && whole.frameStore() == store);
  }
  return 0;
}
