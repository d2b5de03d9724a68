#pragma once
// Date and time arguments of fixed layout: DDMMYYYY at positions 1-8 (SetDate, a report over
// a range of dates) and HHMM at positions 9-12 (SetDate). A field holds decimal digits only.
#include <string>
#include <string_view>

namespace velka {

// Positions 1-8 hold a real calendar date with a four-digit year.
bool IsDateText(std::u16string_view text);
// Positions 9-12 hold a time of day: hours 00 to 23, minutes 00 to 59.
bool IsTimeText(std::u16string_view text);

// The date as the register takes it: DDMMYY (positions 1-4 and 7-8). Only for a date text.
std::string RegisterDate(std::u16string_view text);
// The time as the register takes it: HHMM00. Only for a time text.
std::string RegisterTime(std::u16string_view text);

}  // namespace velka
