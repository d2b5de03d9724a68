#include "sim/frame_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/sim/answer_view.h"
#include "tests/support/block_check.h"

namespace velka::sim {
namespace {

using testing::ToBytes;

std::string Describe(const FrameEvent& e) {
  switch (e.type) {
    case FrameEvent::Type::Frame:
      return std::string("frame ") + e.kind + " " + e.sequence + " [" + e.text + "]";
    case FrameEvent::Type::Rejected:
      return std::string("rejected: ") + FrameFaultText(e.fault);
    case FrameEvent::Type::Abandoned:
      return "abandoned";
    case FrameEvent::Type::Control:
      return e.control_byte == ACK ? "ACK" : "NACK";
    case FrameEvent::Type::Garbage:
      return "garbage " + std::to_string(e.count);
  }
  return "?";
}

// A frame with any field wrong but a correct check over what it holds.
std::string Raw(const std::string& address, const std::string& length, char kind,
                const std::string& text, char sequence) {
  const Bytes frame = velka::testing::Closed("\x02" + address + length + kind + text + sequence);
  return std::string(frame.begin(), frame.end());
}

std::string Good(const std::string& text, char sequence) {
  const Bytes b = EncodeCommandFrame(text, sequence);
  return std::string(b.begin(), b.end());
}

struct Row {
  const char* name;
  std::vector<std::string> reads;
  std::vector<std::string> expected;
};

TEST(FrameReader, JudgesEveryRowOfTheTable) {
  const std::string endless = "\x02" + std::string(3000, 'A');
  const std::string longest_text(999, 'A');
  const std::vector<Row> rows = {
      {"worked example ?d",
       {std::string("\x02"
                    "01002N?d317\x03")},
       {"frame N 3 [?d]"}},
      {"worked example ?s, check below 0x10",
       {std::string("\x02"
                    "01002N?s80B\x03")},
       {"frame N 8 [?s]"}},
      {"worked example V frame",
       {std::string("\x02"
                    "01005V>>/?S112\x03")},
       {"frame V 1 [>>/?S]"}},
      {"empty text", {Good("", '0')}, {"frame N 0 []"}},
      {"length field too big",
       {Raw("01", "003", 'N', "?d", '3')},
       {"rejected: length field does not match the text"}},
      {"length field not digits",
       {Raw("01", "0a2", 'N', "?d", '3')},
       {"rejected: length field does not match the text"}},
      {"wrong check",
       {std::string("\x02"
                    "01002N?d318\x03")},
       {"rejected: wrong block check"}},
      {"lower-case check",
       {std::string("\x02"
                    "01002N?s80b\x03")},
       {"rejected: wrong block check"}},
      {"unknown kind", {Raw("01", "002", 'X', "?d", '3')}, {"rejected: unknown kind letter"}},
      {"sequence not a digit",
       {Raw("01", "002", 'N', "?d", 'A')},
       {"rejected: sequence digit is not a digit"}},
      {"other address", {Raw("02", "002", 'N', "?d", '3')}, {"rejected: wrong address"}},
      {"STX ETX", {std::string("\x02\x03")}, {"rejected: frame too short"}},
      {"garbage before STX", {"xyz" + Good("?d", '3')}, {"garbage 3", "frame N 3 [?d]"}},
      {"garbage between frames",
       {Good("=K", '1') + "\r\n" + Good("=S", '2')},
       {"frame N 1 [=K]", "garbage 2", "frame N 2 [=S]"}},
      {"two frames in one read",
       {Good("=o", '4') + Good("=c", '5')},
       {"frame N 4 [=o]", "frame N 5 [=c]"}},
      {"split over three reads",
       {"\x02"
        "010",
        "05N<</",
        "?s"
        "0"
        "2B\x03"},
       {"frame N 0 [<</?s]"}},
      {"ACK and NACK between frames",
       {"\x06" + Good("?d", '3') + "\x15"},
       {"ACK", "frame N 3 [?d]", "NACK"}},
      {"a new STX cuts a frame short",
       {"\x02"
        "01002N?d",
        Good("?d", '3')},
       {"abandoned", "frame N 3 [?d]"}},
      {"ETX inside the text ends the frame early",
       {Good("abcd\x03"
             "efgh",
             '7')},
       {"rejected: length field does not match the text", "garbage 8"}},
      {"1010-byte frame", {Good(longest_text, '9')}, {"frame N 9 [" + longest_text + "]"}},
      {"endless stream without ETX, then a good frame",
       {endless.substr(0, 1500), endless.substr(1500), Good("?d", '3')},
       {"rejected: no ETX within the frame limit", "garbage 490", "garbage 1501",
        "frame N 3 [?d]"}},
  };
  for (const Row& row : rows) {
    FrameReader reader;
    std::vector<std::string> got;
    for (const std::string& read : row.reads) {
      for (const FrameEvent& e : reader.feed(ToBytes(read))) got.push_back(Describe(e));
      EXPECT_LE(reader.pending(), kMaxFrameBytes) << row.name;
    }
    EXPECT_EQ(got, row.expected) << row.name;
  }
}

TEST(FrameReader, ByteByByteGivesTheSameFramesAsOneRead) {
  const std::string stream = "junk" + Good("=R1/$1.5/*2/(CAFFE)", '3') + "\x06" + Good("=T1", '4');
  FrameReader whole, single;
  std::vector<std::string> a, b;
  for (const FrameEvent& e : whole.feed(ToBytes(stream))) {
    if (e.type != FrameEvent::Type::Garbage) a.push_back(Describe(e));
  }
  for (char c : stream) {
    for (const FrameEvent& e : single.feed(ToBytes(std::string(1, c)))) {
      if (e.type != FrameEvent::Type::Garbage) b.push_back(Describe(e));
    }
  }
  EXPECT_EQ(a, b);
  EXPECT_EQ(a.size(), 3u);
}

TEST(FrameReader, MemoryStaysBoundedOnAMegabyteWithoutETX) {
  FrameReader reader;
  const Bytes chunk(4096, 'Z');
  reader.feed(Bytes{STX});
  std::size_t too_long = 0;
  for (int i = 0; i < 256; ++i) {
    for (const FrameEvent& e : reader.feed(chunk)) {
      EXPECT_LE(e.raw.size(), kMaxFrameBytes);
      if (e.type == FrameEvent::Type::Rejected) ++too_long;
    }
    ASSERT_LE(reader.pending(), kMaxFrameBytes);
  }
  EXPECT_EQ(too_long, 1u);  // one NACK for the lot, not one per kilobyte
}

}  // namespace
}  // namespace velka::sim
