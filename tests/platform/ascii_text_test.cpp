#include "platform/ascii_text.h"

#include <gtest/gtest.h>

namespace velka {
namespace {

TEST(AsciiTextTest, TrimsSayWhichBlanksTheyDrop) {
  struct Row {
    std::string_view text, spaces, spaces_and_tabs;
  };
  const Row rows[] = {
      {"", "", ""},
      {"   ", "", ""},
      {"  a b  ", "a b", "a b"},
      {"\t a \t", "\t a \t", "a"},
      {" \tx", "\tx", "x"},
      {"\xE9 ", "\xE9", "\xE9"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(TrimSpaces(r.text), r.spaces) << r.text;
    EXPECT_EQ(TrimSpacesAndTabs(r.text), r.spaces_and_tabs) << r.text;
  }
  EXPECT_EQ(TrimSpaces(std::u16string_view(u"  \u20AC\t x ")), u"\u20AC\t x");
  EXPECT_EQ(TrimSpaces(std::u16string_view(u" \t ")), u"\t");
}

TEST(AsciiTextTest, OnlyAsciiLettersHaveACase) {
  EXPECT_EQ(UpperAscii("Sale017.txt"), "SALE017.TXT");
  // Accented single-byte letters (e-acute, a-grave) and the euro sign pass unchanged.
  EXPECT_EQ(UpperAscii("caf\xE9 \xE0 \x80 z"), "CAF\xE9 \xE0 \x80 Z");
  EXPECT_TRUE(SameIgnoringAsciiCase("Parameters", "pARAMETERS"));
  EXPECT_FALSE(SameIgnoringAsciiCase("Port", "Ports"));
  EXPECT_FALSE(SameIgnoringAsciiCase("\xE9", "\xC9"));
  EXPECT_TRUE(SameIgnoringAsciiCase(std::u16string_view(u"PrintRecItem"), u"printrecitem"));
  EXPECT_FALSE(SameIgnoringAsciiCase(std::u16string_view(u"\u00E9"), u"\u00C9"));
  EXPECT_FALSE(SameIgnoringAsciiCase(std::u16string_view(u"@"), u"`"));  // not letters
}

}  // namespace
}  // namespace velka
