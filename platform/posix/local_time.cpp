// The computer's local date and time, from the C library's time zone rules.
#include "platform/local_time.h"

#include <time.h>

namespace velka {

LocalDateTime CurrentLocalDateTime() {
  const time_t now = ::time(nullptr);
  tm local{};
  LocalDateTime t;
  if (::localtime_r(&now, &local) == nullptr) return t;
  t.year = local.tm_year + 1900;
  t.month = local.tm_mon + 1;
  t.day = local.tm_mday;
  t.hour = local.tm_hour;
  t.minute = local.tm_min;
  t.second = local.tm_sec;
  return t;
}

}  // namespace velka
