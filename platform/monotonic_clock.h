#pragma once
// The monotonic clock of every deadline and timer: milliseconds that never go back when the
// wall clock is set. Only differences are meaningful.
#include <cstdint>

namespace velka {

using Millis = std::int64_t;

Millis MonotonicMillis();

}  // namespace velka
