// The amount text of a Currency value.
#include "control/receipt/amount_text.h"

#include <gtest/gtest.h>

#include <limits>

namespace velka {
namespace {

TEST(AmountText, WritesOnlyTheDecimalsTheValueNeeds) {
  const struct {
    Currency value;
    const char* text;
  } rows[] = {
      {1500000, "150"},
      {15000, "1.5"},
      {12345678, "1234.5678"},
      {5000, ".5"},
      {1, ".0001"},
      {10, ".001"},
      {1001, ".1001"},
      {10000, "1"},
      {100000, "10"},
      {0, "0"},
      {-15000, "-1.5"},
      {std::numeric_limits<Currency>::max(), "922337203685477.5807"},
      {std::numeric_limits<Currency>::min(), "-922337203685477.5808"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(AmountText(row.value), row.text) << row.value;
  }
}

}  // namespace
}  // namespace velka
