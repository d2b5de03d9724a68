#include "platform/numeric_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

namespace velka {
namespace {

TEST(ValTest, ReadsTheLeadingNumber) {
  const struct {
    const char* text;
    double expected;
  } rows[] = {
      {"7", 7},    {"  12abc", 12}, {"\t-3.5x", -3.5}, {"+4", 4},        {".5", 0.5},
      {"5.", 5},   {"1.2.3", 1.2},  {"", 0},           {"abc", 0},       {"-", 0},
      {".", 0},    {"- 5", 0},      {"1,5", 1},        {"0012", 12},     {"3 4", 3},
      {"007/", 7}, {"1e3", 1},      {"65535", 65535},  {"-0.25", -0.25},
  };
  for (const auto& r : rows) EXPECT_DOUBLE_EQ(Val(r.text), r.expected) << '"' << r.text << '"';
}

TEST(ValTest, Utf16TextAndOutOfRangeDigits) {
  EXPECT_DOUBLE_EQ(Val(u" 2.5\u20AC"), 2.5);
  EXPECT_DOUBLE_EQ(Val(u"\u0663"), 0);  // a digit of another script is not a digit here
  EXPECT_TRUE(std::isinf(Val(std::string(400, '9'))));
  EXPECT_EQ(Val("0." + std::string(400, '0') + "1"), 0.0);
}

TEST(NumericTextTest, AcceptsOnlyADecimalNumberWithBlanksAround) {
  const struct {
    const char* text;
    std::optional<double> expected;
  } rows[] = {
      {"12", 12},  {"-3.5", -3.5}, {".5", 0.5}, {" 7 ", 7},  {"\t+8\t", 8}, {"5.", 5},
      {"", {}},    {"  ", {}},     {".", {}},   {"+", {}},   {"-.", {}},    {"1 2", {}},
      {"12a", {}}, {"1,5", {}},    {"1e3", {}}, {"--1", {}}, {"0x10", {}},  {"- 1", {}},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(NumericTextValue(r.text), r.expected) << '"' << r.text << '"';
    EXPECT_EQ(IsNumericText(r.text), r.expected.has_value()) << '"' << r.text << '"';
  }
  EXPECT_EQ(NumericTextValue(u" 42 "), 42.0);
  EXPECT_EQ(NumericTextValue(u"4\u00A02"), std::nullopt);
  EXPECT_EQ(NumericTextValue(std::string(400, '9')), std::nullopt);
}

TEST(NumericTextTest, DecimalPointIsAlwaysADot) {
  // A process locale with a decimal comma must not change how numbers are read.
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  const bool switched = std::setlocale(LC_NUMERIC, "it_IT.UTF-8") != nullptr ||
                        std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  EXPECT_DOUBLE_EQ(Val("2.5"), 2.5);
  EXPECT_EQ(NumericTextValue("2,5"), std::nullopt);
  EXPECT_EQ(NumericTextValue("2.5"), 2.5);
  std::setlocale(LC_NUMERIC, saved.c_str());
  if (!switched) GTEST_SKIP() << "no locale with a decimal comma installed";
}

TEST(RoundHalfEvenTest, HalvesGoToTheEvenNeighbour) {
  const struct {
    double value;
    double expected;
  } rows[] = {
      {0.5, 0}, {1.5, 2}, {2.5, 2},   {3.5, 4}, {-0.5, -0},     {-1.5, -2},     {-2.5, -2},
      {2.4, 2}, {2.6, 3}, {-2.6, -3}, {7, 7},   {2.5000001, 3}, {1e300, 1e300},
  };
  for (const auto& r : rows) EXPECT_EQ(RoundHalfEven(r.value), r.expected) << r.value;
  EXPECT_TRUE(std::isnan(RoundHalfEven(NAN)));
  EXPECT_TRUE(std::isinf(RoundHalfEven(INFINITY)));
}

}  // namespace
}  // namespace velka
