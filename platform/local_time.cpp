// Date-time text and calendar checks; the computer's clock is read in the system's folder.
#include "platform/local_time.h"

#include <cstdio>

#include "platform/ascii_text.h"

namespace velka {

namespace {

std::string TwoDigits(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", value);
  return buffer;
}

std::string FourDigits(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d", value);
  return buffer;
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int month, int year) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Reads 1 to max_digits digits at text[pos]; false when there is none.
bool ReadNumber(std::string_view text, std::size_t& pos, std::size_t max_digits, int& out) {
  const std::size_t start = pos;
  out = 0;
  while (pos < text.size() && pos - start < max_digits && IsDigit(text[pos])) {
    out = out * 10 + (text[pos++] - '0');
  }
  return pos > start;
}

}  // namespace

std::string GeneralDateTime(const LocalDateTime& t) {
  return FormatDateTime(t, "dd/mm/yyyy hh:mm:ss");
}

std::string FormatDateTime(const LocalDateTime& t, std::string_view pattern) {
  std::string out;
  // Set after "hh" (and one separator): the "mm" that follows is minutes, not the month.
  bool minutes_next = false;
  std::size_t i = 0;
  while (i < pattern.size()) {
    const std::string_view rest = pattern.substr(i);
    if (rest.starts_with("yyyy")) {
      out += FourDigits(t.year);
      i += 4;
      minutes_next = false;
    } else if (rest.starts_with("dd")) {
      out += TwoDigits(t.day);
      i += 2;
      minutes_next = false;
    } else if (rest.starts_with("hh")) {
      out += TwoDigits(t.hour);
      i += 2;
      minutes_next = true;
      if (i < pattern.size() && !IsLetter(pattern[i]) && pattern.substr(i + 1).starts_with("mm")) {
        out += pattern[i++];
      }
    } else if (rest.starts_with("mm")) {
      out += TwoDigits(minutes_next ? t.minute : t.month);
      i += 2;
      minutes_next = false;
    } else if (rest.starts_with("ss")) {
      out += TwoDigits(t.second);
      i += 2;
      minutes_next = false;
    } else {
      out += pattern[i++];
      minutes_next = false;
    }
  }
  return out;
}

bool IsValidDate(int day, int month, int year) {
  if (year < 1000 || year > 9999 || month < 1 || month > 12) return false;
  return day >= 1 && day <= DaysInMonth(month, year);
}

bool IsValidTimeOfDay(int hour, int minute) {
  return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59;
}

bool ParseDayMonthYear(std::string_view text, LocalDateTime& out) {
  text = TrimSpaces(text);
  std::size_t pos = 0;
  int day = 0, month = 0, year = 0;
  if (!ReadNumber(text, pos, 2, day) || pos >= text.size() || text[pos++] != '/') return false;
  if (!ReadNumber(text, pos, 2, month) || pos >= text.size() || text[pos++] != '/') return false;
  const std::size_t year_start = pos;
  if (!ReadNumber(text, pos, 4, year) || pos - year_start != 4 || pos != text.size()) return false;
  if (!IsValidDate(day, month, year)) return false;
  out = LocalDateTime{};
  out.year = year;
  out.month = month;
  out.day = day;
  return true;
}

int CompareDates(const LocalDateTime& a, const LocalDateTime& b) {
  if (a.year != b.year) return a.year < b.year ? -1 : 1;
  if (a.month != b.month) return a.month < b.month ? -1 : 1;
  if (a.day != b.day) return a.day < b.day ? -1 : 1;
  return 0;
}

}  // namespace velka
