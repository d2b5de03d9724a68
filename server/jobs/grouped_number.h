#pragma once
// Whole numbers in the pattern "#,##0": thousands grouped, no decimals.
//
// The grouping character follows the language the server runs in, as a register's regional
// settings would: "." for Italian (1.234), "," for English (1,234).
#include <cstdint>
#include <string>

namespace velka::server {

std::string GroupedNumber(std::int64_t value, char grouping);

// The grouping character of a LanguageOffset.
char GroupingFor(int language_offset);

}  // namespace velka::server
