#include "platform/single_byte_text.h"

#include <gtest/gtest.h>

namespace velka {
namespace {

TEST(SingleByteTextTest, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(ToSingleByte(FromSingleByte(all)), all);
  EXPECT_EQ(Utf8ToSingleByte(SingleByteToUtf8(all)), all);
}

TEST(SingleByteTextTest, CodePageTable) {
  const struct {
    unsigned char byte;
    char16_t code_point;
  } rows[] = {
      {0x41, u'A'},   {0x00, 0x0000}, {0x7F, 0x007F},    {0x80, 0x20AC}, {0x81, 0x0081},
      {0x82, 0x201A}, {0x8A, 0x0160}, {0x8D, 0x008D},    {0x8E, 0x017D}, {0x8F, 0x008F},
      {0x90, 0x0090}, {0x92, 0x2019}, {0x96, 0x2013},    {0x99, 0x2122}, {0x9D, 0x009D},
      {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xE8, u'\u00E8'}, {0xFF, 0x00FF},
  };
  for (const auto& r : rows) {
    const std::string byte(1, static_cast<char>(r.byte));
    EXPECT_EQ(FromSingleByte(byte), std::u16string(1, r.code_point)) << int(r.byte);
    EXPECT_EQ(ToSingleByte(std::u16string(1, r.code_point)), byte) << int(r.byte);
  }
}

TEST(SingleByteTextTest, UnmappableCharactersBecomeOneQuestionMarkEach) {
  const struct {
    const char* name;
    std::u16string text;
    std::string expected;
  } rows[] = {
      {"C1 control with no byte", u"\u0080", "?"},
      {"Greek", u"\u03B1b", "?b"},
      {"emoji is one character", u"a\U0001F600b", "a?b"},
      {"lone high surrogate", std::u16string(u"a") + char16_t(0xD800) + u"b", "a?b"},
      {"lone low surrogate at end", std::u16string(u"a") + char16_t(0xDC00), "a?"},
      {"euro", u"\u20AC 5", "\x80 5"},
  };
  for (const auto& r : rows) EXPECT_EQ(ToSingleByte(r.text), r.expected) << r.name;
}

TEST(Utf8Test, MalformedInputIsReplacedNeverSkippedOrCrashing) {
  const struct {
    const char* name;
    std::string utf8;
    std::u16string expected;
  } rows[] = {
      {"ascii", "abc", u"abc"},
      {"two byte", "caf\xC3\xA9", u"caf\u00E9"},
      {"three byte", "\xE2\x82\xAC", u"\u20AC"},
      {"four byte", "\xF0\x9F\x98\x80", u"\U0001F600"},
      {"stray continuation", "a\x80z", u"a\uFFFDz"},
      {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"overlong three byte", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
      {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"cut short at end", "a\xE2\x82", u"a\uFFFD"},
      {"cut short before ascii", "\xE2\x82z", u"\uFFFDz"},
      {"invalid lead", "\xFF\xFE", u"\uFFFD\uFFFD"},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(Utf8ToUtf16(r.utf8), r.expected) << r.name;
    EXPECT_EQ(Utf8ToSingleByte(r.utf8), ToSingleByte(r.expected)) << r.name;
  }
}

TEST(Utf8Test, Utf16ToUtf8EncodesPairsAndReplacesLoneSurrogates) {
  EXPECT_EQ(Utf16ToUtf8(u"\u00E8\u20AC\U0001F600"), "\xC3\xA8\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xDBFF))), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(u"Perch\u00E9 \u20AC")), u"Perch\u00E9 \u20AC");
  EXPECT_EQ(SingleByteToUtf8("\x80"), "\xE2\x82\xAC");
}

}  // namespace
}  // namespace velka
