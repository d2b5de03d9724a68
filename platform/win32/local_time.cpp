// The computer's local date and time, from the system's clock and time zone.
#include "platform/local_time.h"

#include <windows.h>

namespace velka {

LocalDateTime CurrentLocalDateTime() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  LocalDateTime t;
  t.year = now.wYear;
  t.month = now.wMonth;
  t.day = now.wDay;
  t.hour = now.wHour;
  t.minute = now.wMinute;
  t.second = now.wSecond;
  return t;
}

}  // namespace velka
