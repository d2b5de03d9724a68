#pragma once
// The monotonic clock of every deadline and timer: milliseconds that never go back when the
// wall clock is set, and the same clock in microseconds for what must be finer than the
// timers (the simulated register's wire). Only differences are meaningful.
#include <cstdint>

namespace velka {

using Millis = std::int64_t;
using Micros = std::int64_t;

Millis MonotonicMillis();
Micros MonotonicMicros();

}  // namespace velka
