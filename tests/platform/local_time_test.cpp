#include "platform/local_time.h"

#include <gtest/gtest.h>

namespace velka {
namespace {

LocalDateTime At(int year, int month, int day, int hour, int minute, int second) {
  LocalDateTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  t.hour = hour;
  t.minute = minute;
  t.second = second;
  return t;
}

TEST(FormatDateTimeTest, PatternsOfTheSystem) {
  const LocalDateTime t = At(2026, 12, 6, 18, 30, 5);
  const struct {
    const char* pattern;
    const char* expected;
  } rows[] = {
      {"dd/mm/yyyy hh:mm", "06/12/2026 18:30"},
      {"yyyymmddhhmm", "202612061830"},
      {"hh:mm:ss", "18:30:05"},
      {"dd/mm/yyyy", "06/12/2026"},
      {"dd_mm_yyyy", "06_12_2026"},
      {"hhmm", "1830"},
      {"hh.mm", "18.30"},
      {"mm", "12"},              // month when not after "hh"
      {"hh dd mm", "18 06 12"},  // "dd" in between: the month again
      {"hh::mm", "18::12"},      // more than one separator: the month again
      {"[dd]", "[06]"},
      {"d/m/y", "d/m/y"},
      {"", ""},
  };
  for (const auto& r : rows) EXPECT_EQ(FormatDateTime(t, r.pattern), r.expected) << r.pattern;
  EXPECT_EQ(GeneralDateTime(At(2027, 1, 2, 3, 4, 5)), "02/01/2027 03:04:05");
}

TEST(DateCheckTest, CalendarDatesAndTimesOfDay) {
  const struct {
    int day, month, year;
    bool valid;
  } dates[] = {
      {29, 2, 2024, true},  {29, 2, 2023, false}, {29, 2, 2000, true},  {29, 2, 1900, false},
      {31, 4, 2026, false}, {30, 4, 2026, true},  {31, 12, 2026, true}, {0, 1, 2026, false},
      {1, 0, 2026, false},  {1, 13, 2026, false}, {1, 1, 999, false},   {1, 1, 10000, false},
      {1, 1, 1000, true},   {32, 1, 2026, false}, {-1, 1, 2026, false},
  };
  for (const auto& d : dates) {
    EXPECT_EQ(IsValidDate(d.day, d.month, d.year), d.valid)
        << d.day << "/" << d.month << "/" << d.year;
  }
  EXPECT_TRUE(IsValidTimeOfDay(0, 0));
  EXPECT_TRUE(IsValidTimeOfDay(23, 59));
  EXPECT_FALSE(IsValidTimeOfDay(24, 0));
  EXPECT_FALSE(IsValidTimeOfDay(23, 60));
  EXPECT_FALSE(IsValidTimeOfDay(-1, 0));
}

TEST(ParseDayMonthYearTest, AcceptsRealDatesOnly) {
  const struct {
    const char* text;
    bool ok;
    int day, month, year;
  } rows[] = {
      {"06/12/2026", true, 6, 12, 2026},
      {"6/1/2026", true, 6, 1, 2026},
      {" 01/02/2026 ", true, 1, 2, 2026},
      {"29/02/2023", false, 0, 0, 0},
      {"06/12/26", false, 0, 0, 0},
      {"06-12-2026", false, 0, 0, 0},
      {"06/12/20261", false, 0, 0, 0},
      {"06/12/2026x", false, 0, 0, 0},
      {"", false, 0, 0, 0},
      {"//", false, 0, 0, 0},
      {"123/1/2026", false, 0, 0, 0},
  };
  for (const auto& r : rows) {
    LocalDateTime out = At(1999, 9, 9, 9, 9, 9);
    EXPECT_EQ(ParseDayMonthYear(r.text, out), r.ok) << r.text;
    if (r.ok) {
      EXPECT_EQ(out.day, r.day) << r.text;
      EXPECT_EQ(out.month, r.month) << r.text;
      EXPECT_EQ(out.year, r.year) << r.text;
    }
  }
}

TEST(CompareDatesTest, OnlyTheCalendarDateCounts) {
  EXPECT_EQ(CompareDates(At(2026, 12, 6, 23, 0, 0), At(2026, 12, 6, 1, 0, 0)), 0);
  EXPECT_LT(CompareDates(At(2026, 12, 6, 0, 0, 0), At(2026, 12, 7, 0, 0, 0)), 0);
  EXPECT_GT(CompareDates(At(2027, 1, 1, 0, 0, 0), At(2026, 12, 31, 0, 0, 0)), 0);
  EXPECT_GT(CompareDates(At(2026, 2, 1, 0, 0, 0), At(2026, 1, 31, 0, 0, 0)), 0);
}

TEST(CurrentLocalDateTimeTest, GivesAPlausibleDate) {
  const LocalDateTime now = CurrentLocalDateTime();
  EXPECT_TRUE(IsValidDate(now.day, now.month, now.year));
  EXPECT_TRUE(IsValidTimeOfDay(now.hour, now.minute));
  EXPECT_GE(now.year, 2024);
}

}  // namespace
}  // namespace velka
