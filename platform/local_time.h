#pragma once
// Wall-clock date and time as text. Deadlines never use these: they use EventLoop::now().
#include <functional>
#include <string>

namespace velka {

struct LocalDateTime {
  int year = 2000;  // four digits
  int month = 1;    // 1..12
  int day = 1;      // 1..31
  int hour = 0;     // 0..23
  int minute = 0;
  int second = 0;
};

// The computer's local date and time now.
LocalDateTime CurrentLocalDateTime();

// Where the wall clock comes from; tests hand a fixed one.
using WallClock = std::function<LocalDateTime()>;

// The general date-time text: "dd/mm/yyyy hh:mm:ss" (24 hours).
std::string GeneralDateTime(const LocalDateTime& t);

// A time-stamp pattern: "dd" day, "mm" month (minutes right after "hh"), "yyyy" year,
// "hh" hour, "ss" seconds, every other character copied ("/" and ":" are the separators).
// "dd/mm/yyyy hh:mm", "yyyymmddhhmm", "hh:mm:ss", "dd/mm/yyyy", "dd_mm_yyyy".
std::string FormatDateTime(const LocalDateTime& t, std::string_view pattern);

// True for a real calendar date with a four-digit year.
bool IsValidDate(int day, int month, int year);
// Hours 0..23 and minutes 0..59.
bool IsValidTimeOfDay(int hour, int minute);

// Parses "dd/mm/yyyy"; false when the text is not such a date.
bool ParseDayMonthYear(std::string_view text, LocalDateTime& out);
// Compares the calendar dates only: negative, zero or positive.
int CompareDates(const LocalDateTime& a, const LocalDateTime& b);

}  // namespace velka
