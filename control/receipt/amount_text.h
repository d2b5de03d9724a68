#pragma once
// The amount text of a Currency value, as the register reads it in a "$" or "*" field.
#include <cstdint>
#include <string>

namespace velka {

using Currency = std::int64_t;  // ten-thousandths, as in tmv_ecr_velka.h

// Plain decimal text: "." as decimal point, no grouping, no blanks, no trailing zeros, no
// digit before the point of a value below 1 (150 -> "150", 1.5 -> "1.5", 0.5 -> ".5",
// 0 -> "0"). Amounts are positive when they are written; a negative value would carry "-".
// Integer arithmetic throughout: every Currency value, the extremes included, is exact.
std::string AmountText(Currency value);

}  // namespace velka
