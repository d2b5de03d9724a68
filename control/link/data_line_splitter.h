#pragma once
// Splitting what the register sends after a data command: lines of text ended by CR LF,
// outside frames, then one closing frame. Chunks of bytes go in as they are read; completed
// lines and, at the end, the closing frame come out. No waiting.
//
// The closing frame goes into a store of a status answer's size: STX at index 0, the bytes
// after it at 1, 2, 3 ..., ETX always at index 20. ACK bytes are ignored everywhere; CR and
// LF never enter the store.
#include <cstddef>
#include <string>
#include <vector>

#include "platform/serial_port.h"

namespace velka::link {

class DataLineSplitter {
 public:
  enum class Progress {
    NeedMore,    // no closing ETX yet
    FrameEnded,  // the closing frame is in frameStore()
    Rejected,    // a closing frame too long for the store, or noise past the size limits
  };

  DataLineSplitter();

  // Goes through one chunk; each line completed in it is appended to `lines`, without CR and
  // LF. Bytes after the closing ETX are dropped. Once the result is not NeedMore, further
  // chunks change nothing.
  Progress feed(const Bytes& chunk, std::vector<std::string>& lines);

  Progress progress() const { return progress_; }
  // The characters of the line being received.
  const std::string& lineUnderConstruction() const { return line_; }
  const Bytes& frameStore() const { return store_; }

 private:
  void frameByte(std::uint8_t byte);
  void lineByte(std::uint8_t byte);

  Progress progress_ = Progress::NeedMore;
  bool in_frame_ = false;
  bool cr_seen_ = false;
  bool oversized_ = false;  // more frame bytes than the store holds
  std::size_t count_ = 0;   // frame bytes after STX
  Bytes store_;
  std::string line_;
};

}  // namespace velka::link
