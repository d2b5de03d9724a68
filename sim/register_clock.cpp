#include "sim/register_clock.h"

#include <cstdio>

namespace velka::sim {

namespace {

// Days since 1 January 1970 of a proleptic Gregorian date (eras of 400 years).
std::int64_t DaysOf(int year, int month, int day) {
  const int y = month <= 2 ? year - 1 : year;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int year_of_era = y - era * 400;
  const int month_index = month > 2 ? month - 3 : month + 9;
  const int day_of_year = (153 * month_index + 2) / 5 + day - 1;
  const int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return static_cast<std::int64_t>(era) * 146097 + day_of_era - 719468;
}

void DateOf(std::int64_t days, int& year, int& month, int& day) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int day_of_era = static_cast<int>(days - era * 146097);
  const int year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int month_index = (5 * day_of_year + 2) / 153;
  day = day_of_year - (153 * month_index + 2) / 5 + 1;
  month = month_index < 10 ? month_index + 3 : month_index - 9;
  year = static_cast<int>(year_of_era + era * 400) + (month <= 2 ? 1 : 0);
}

}  // namespace

std::int64_t SecondsOf(const LocalDateTime& t) {
  return DaysOf(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

LocalDateTime DateTimeOf(std::int64_t seconds) {
  std::int64_t days = seconds / 86400;
  std::int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  LocalDateTime t;
  DateOf(days, t.year, t.month, t.day);
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest / 60 % 60);
  t.second = static_cast<int>(rest % 60);
  return t;
}

RegisterClock::RegisterClock(const LocalDateTime& start, Millis start_ms)
    : base_seconds_(SecondsOf(start)), base_ms_(start_ms) {}

LocalDateTime RegisterClock::at(Millis now_ms) const {
  return DateTimeOf(base_seconds_ + (now_ms - base_ms_) / 1000);
}

void RegisterClock::set(const LocalDateTime& t, Millis now_ms) {
  base_seconds_ = SecondsOf(t);
  base_ms_ = now_ms;
}

std::string ShortDateTime(const LocalDateTime& t) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%02d/%02d/%02d %02d:%02d:%02d", t.day % 100, t.month % 100,
                t.year % 100, t.hour % 100, t.minute % 100, t.second % 100);
  return buffer;
}

std::string CompactDate(const LocalDateTime& t) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d%02d%02d", t.day % 100, t.month % 100, t.year % 100);
  return buffer;
}

}  // namespace velka::sim
