#include "control/link/frame_codec.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/block_check.h"

namespace velka::link {
namespace {

Bytes Hex(std::initializer_list<int> values) {
  Bytes bytes;
  for (int v : values) bytes.push_back(static_cast<std::uint8_t>(v));
  return bytes;
}

TEST(FrameCodec, WorkedFrames) {
  struct Case {
    const char* text;
    std::int16_t sequence;
    Bytes frame;
  } cases[] = {
      {"?d", 3,
       Hex({0x02, 0x30, 0x31, 0x30, 0x30, 0x32, 0x4E, 0x3F, 0x64, 0x33, 0x31, 0x37, 0x03})},
      {"?s", 8,
       Hex({0x02, 0x30, 0x31, 0x30, 0x30, 0x32, 0x4E, 0x3F, 0x73, 0x38, 0x30, 0x42, 0x03})},
      {">>/?S", 1,
       Hex({0x02, 0x30, 0x31, 0x30, 0x30, 0x35, 0x56, 0x3E, 0x3E, 0x2F, 0x3F, 0x53, 0x31, 0x31,
            0x32, 0x03})},
  };
  for (const Case& c : cases) {
    std::int16_t pack = c.sequence;
    EXPECT_EQ(BuildCommandFrame(c.text, pack), c.frame) << c.text;
    EXPECT_EQ(pack, c.sequence + 1) << c.text;
  }
}

TEST(FrameCodec, LengthFieldAndSize) {
  std::int16_t pack = 0;
  const Bytes empty = BuildCommandFrame("", pack);
  ASSERT_EQ(empty.size(), 11u);
  EXPECT_EQ(FrameText(empty).substr(1, 6), "01000N");

  const std::string longest(999, 'x');
  const Bytes full = BuildCommandFrame(longest, pack);
  ASSERT_EQ(full.size(), 1010u);
  EXPECT_EQ(FrameText(full).substr(1, 6), "01999N");
  EXPECT_EQ(full.back(), ETX);

  // One character more cannot be framed; the counter is left alone.
  const std::int16_t before = pack;
  EXPECT_TRUE(BuildCommandFrame(std::string(1000, 'x'), pack).empty());
  EXPECT_EQ(pack, before);
}

TEST(FrameCodec, SequenceDigitWrapsAndStaysADigit) {
  struct Case {
    std::int16_t pack;
    char digit;
    std::int16_t next;
  } cases[] = {{0, '0', 1}, {9, '9', 0}, {12, '0', 1}, {-4, '0', 1}};
  for (const Case& c : cases) {
    std::int16_t pack = c.pack;
    const Bytes frame = BuildCommandFrame("?s", pack);
    EXPECT_EQ(frame[9], c.digit) << c.pack;
    EXPECT_EQ(pack, c.next) << c.pack;
  }
}

TEST(FrameCodec, KindLetterByCaseSensitivePrefix) {
  struct Case {
    const char* text;
    bool v;
  } cases[] = {{">>/?S", true},  {">>/?Sx", true}, {"=W", true},   {"=W/1", true},
               {">>/?s", false}, {"=w", false},    {" =W", false}, {">>/?", false}};
  for (const Case& c : cases) {
    std::int16_t pack = 0;
    EXPECT_EQ(IsVFrame(c.text), c.v) << c.text;
    EXPECT_EQ(BuildCommandFrame(c.text, pack)[6], c.v ? 'V' : 'N') << c.text;
  }
}

TEST(FrameCodec, BlockCheckBoundaries) {
  std::int16_t pack = 8;
  const Bytes frame = BuildCommandFrame("?s", pack);
  EXPECT_EQ(BlockCheck(frame), 0x0B);
  // A leading ACK is outside the check.
  Bytes with_ack{ACK};
  with_ack.insert(with_ack.end(), frame.begin(), frame.end());
  EXPECT_EQ(BlockCheck(with_ack), 0x0B);
  // An ETX inside the text ends the check there.
  pack = 0;
  const Bytes etx_inside = BuildCommandFrame(std::string("A\x03Z", 3), pack);
  EXPECT_EQ(BlockCheck(etx_inside), 0x02 ^ '0' ^ '1' ^ '0' ^ '0' ^ '3' ^ 'N' ^ 'A');
  // Buffers too short to hold anything before the check digits.
  EXPECT_EQ(BlockCheck({}), 0);
  EXPECT_EQ(BlockCheck(Hex({0x02, 0x41, 0x42})), 0);
}

// The codec's check against the tests' own, which every scripted answer is closed with.
TEST(FrameCodec, BlockCheckAgreesWithTheTestsOwnCheck) {
  const std::string texts[] = {
      "", "?d", ">>/?S", std::string("A\x03Z", 3), "\x80\xFF\x02x", std::string(999, 'x')};
  for (const std::string& text : texts) {
    for (std::int16_t sequence = 0; sequence < 10; ++sequence) {
      std::int16_t pack = sequence;
      const Bytes frame = BuildCommandFrame(text, pack);
      EXPECT_TRUE(testing::BlockCheckMatches(frame)) << text.size() << " " << sequence;
      Bytes with_ack{ACK};
      with_ack.insert(with_ack.end(), frame.begin(), frame.end());
      EXPECT_EQ(BlockCheck(with_ack), testing::ExpectedBlockCheck(with_ack)) << text.size();
    }
  }
}

TEST(FrameCodec, DecodeCheckValueUpperCaseOnly) {
  EXPECT_EQ(DecodeCheckValue('0', 'B'), 0x0B);
  EXPECT_EQ(DecodeCheckValue('F', 'F'), 0xFF);
  EXPECT_EQ(DecodeCheckValue('1', '7'), 0x17);
  EXPECT_EQ(DecodeCheckValue('0', 'b'), 0x00);  // lower case counts 0
  EXPECT_EQ(DecodeCheckValue('a', '1'), 0x01);
  EXPECT_EQ(DecodeCheckValue('G', '?'), 0x00);
}

TEST(FrameCodec, FrameTextKeepsEveryByte) {
  const Bytes bytes = Hex({0x02, 0x00, 0x80, 0xFF, 0x03});
  const std::string text = FrameText(bytes);
  ASSERT_EQ(text.size(), 5u);
  EXPECT_EQ(static_cast<std::uint8_t>(text[1]), 0x00);
  EXPECT_EQ(static_cast<std::uint8_t>(text[2]), 0x80);
  EXPECT_EQ(static_cast<std::uint8_t>(text[3]), 0xFF);
}

}  // namespace
}  // namespace velka::link
