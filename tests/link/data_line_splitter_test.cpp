#include "control/link/data_line_splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/link/frame_codec.h"
#include "control/link/link_limits.h"
#include "tests/support/scripted_register.h"

namespace velka::link {
namespace {

using R = ScriptedRegister;
using Progress = DataLineSplitter::Progress;

Bytes B(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

struct Fed {
  Progress progress;
  std::vector<std::string> lines;
  Bytes store;
};

Fed FeedAll(const std::vector<Bytes>& chunks) {
  DataLineSplitter splitter;
  Fed fed{Progress::NeedMore, {}, {}};
  for (const Bytes& chunk : chunks) fed.progress = splitter.feed(chunk, fed.lines);
  fed.store = splitter.frameStore();
  return fed;
}

TEST(DataLineSplitter, Streams) {
  const Bytes status = R::Status();
  struct Row {
    const char* name;
    std::vector<Bytes> chunks;
    Progress progress;
    std::vector<std::string> lines;
  } rows[] = {
      {"ACK, one line, status",
       {R::Join({{ACK}, B("first\r\n"), status})},
       Progress::FrameEnded,
       {"first"}},
      {"line split over two reads",
       {B("\x06par"), B("tial\r\n"), status},
       Progress::FrameEnded,
       {"partial"}},
      {"CR LF split over two reads",
       {B("ab\r"), B("\ncd\r\n"), status},
       Progress::FrameEnded,
       {"ab", "cd"}},
      {"CR alone does not end a line",
       {B("ab\rcd"), B("ef\n"), status},
       Progress::FrameEnded,
       {"abcdef"}},
      {"LF without CR is ignored", {B("ab\ncd\r\n"), status}, Progress::FrameEnded, {"abcd"}},
      {"ACK inside a line is ignored",
       {B("a\x06"
          "b\r\n"),
        status},
       Progress::FrameEnded,
       {"ab"}},
      {"no closing frame yet", {B("ab\r\ncd")}, Progress::NeedMore, {"ab"}},
      {"status split over reads",
       {B("x\r\n"), Bytes(status.begin(), status.begin() + 5),
        Bytes(status.begin() + 5, status.end())},
       Progress::FrameEnded,
       {"x"}},
  };
  for (const Row& row : rows) {
    const Fed fed = FeedAll(row.chunks);
    EXPECT_EQ(fed.progress, row.progress) << row.name;
    EXPECT_EQ(fed.lines, row.lines) << row.name;
    if (row.progress == Progress::FrameEnded) {
      EXPECT_EQ(fed.store, status) << row.name;
    }
  }
}

TEST(DataLineSplitter, BytesAfterEtxAreDropped) {
  DataLineSplitter splitter;
  std::vector<std::string> lines;
  EXPECT_EQ(splitter.feed(R::Join({R::Status(), B("late\r\n")}), lines), Progress::FrameEnded);
  EXPECT_EQ(splitter.feed(B("more\r\n"), lines), Progress::FrameEnded);
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(splitter.frameStore(), R::Status());
}

TEST(DataLineSplitter, CrLfInsideAFrameStayOutOfTheStore) {
  Bytes status = R::Status();
  Bytes with_crlf(status.begin(), status.begin() + 4);
  with_crlf.push_back(CR);
  with_crlf.push_back(LF);
  with_crlf.insert(with_crlf.end(), status.begin() + 4, status.end());
  const Fed fed = FeedAll({with_crlf});
  EXPECT_EQ(fed.progress, Progress::FrameEnded);
  EXPECT_EQ(fed.store, status);
}

TEST(DataLineSplitter, ShortClosingFrameLeavesZerosBeforeEtx) {
  const Fed fed = FeedAll({R::Frame("D")});  // 12 bytes
  ASSERT_EQ(fed.progress, Progress::FrameEnded);
  ASSERT_EQ(fed.store.size(), kStatusAnswerLength);
  EXPECT_EQ(fed.store[11], 0);  // the ETX of the short frame is stored at the end only
  EXPECT_EQ(fed.store[19], 0);
  EXPECT_EQ(fed.store[20], ETX);
}

TEST(DataLineSplitter, LimitsRefuseInsteadOfOverflowing) {
  // A closing frame with 20 bytes between STX and ETX does not fit the store.
  EXPECT_EQ(FeedAll({R::Frame("O000000000x")}).progress, Progress::Rejected);
  // Exactly 19 fits.
  EXPECT_EQ(FeedAll({R::Frame("O000000000")}).progress, Progress::FrameEnded);
  // A frame that never closes, and a line that never ends.
  Bytes open_frame{STX};
  open_frame.resize(kMaxFrameBuffer + 2, 'n');
  EXPECT_EQ(FeedAll({open_frame}).progress, Progress::Rejected);
  EXPECT_EQ(FeedAll({Bytes(kMaxDataLine, 'n')}).progress, Progress::NeedMore);
  EXPECT_EQ(FeedAll({Bytes(kMaxDataLine, 'n'), B("n")}).progress, Progress::Rejected);
}

}  // namespace
}  // namespace velka::link
