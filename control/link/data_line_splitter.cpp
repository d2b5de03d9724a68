#include "control/link/data_line_splitter.h"

#include "control/link/frame_codec.h"
#include "control/link/link_limits.h"

namespace velka::link {

namespace {
constexpr std::size_t kStoreEtxIndex = kStatusAnswerLength - 1;
// Bytes between STX and ETX that the store holds.
constexpr std::size_t kStoreBody = kStatusAnswerLength - 2;
}  // namespace

DataLineSplitter::DataLineSplitter() : store_(kStatusAnswerLength, 0) {}

DataLineSplitter::Progress DataLineSplitter::feed(const Bytes& chunk,
                                                  std::vector<std::string>& lines) {
  for (const std::uint8_t byte : chunk) {
    if (progress_ != Progress::NeedMore) break;
    switch (byte) {
      case STX:
        in_frame_ = true;
        count_ = 0;
        oversized_ = false;
        store_[0] = STX;
        break;
      case ETX:
        in_frame_ = false;
        store_[kStoreEtxIndex] = ETX;
        // A frame longer than a status answer cannot be judged from the store; it is refused
        // rather than judged on a truncated copy.
        progress_ = oversized_ ? Progress::Rejected : Progress::FrameEnded;
        break;
      case ACK:
        break;
      case CR:
        cr_seen_ = true;
        break;
      case LF:
        if (cr_seen_) {
          cr_seen_ = false;
          lines.push_back(std::move(line_));
          line_.clear();
        }
        break;
      default:
        if (in_frame_) {
          frameByte(byte);
        } else {
          lineByte(byte);
        }
        break;
    }
  }
  return progress_;
}

void DataLineSplitter::frameByte(std::uint8_t byte) {
  ++count_;
  if (count_ <= kStoreBody) {
    store_[count_] = byte;
    return;
  }
  oversized_ = true;
  // Noise that never closes the frame ends the reception once it passes the frame limit.
  if (count_ > kMaxFrameBuffer) progress_ = Progress::Rejected;
}

void DataLineSplitter::lineByte(std::uint8_t byte) {
  if (line_.size() >= kMaxDataLine) {
    progress_ = Progress::Rejected;
    return;
  }
  line_.push_back(static_cast<char>(byte));
}

}  // namespace velka::link
