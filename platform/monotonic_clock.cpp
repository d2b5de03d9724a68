// The monotonic clock on the standard library's steady clock (the kernel's monotonic clock on
// every system we build for).
#include "platform/monotonic_clock.h"

#include <chrono>

namespace velka {

Millis MonotonicMillis() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

Micros MonotonicMicros() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace velka
