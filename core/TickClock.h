#pragma once
#include <cstdint>
#include <functional>

#include "foundation/Stopwatch.h"

// A source of time in 100-nanosecond ticks. The core's interval classes take one so that
// tests can drive time by hand; the default is the monotonic clock (MonotonicTicks), so
// that changing the system time neither stretches nor reverses an interval.
using TickClock = std::function<int64_t()>;

constexpr int64_t kTicksPerMs = 10000;
constexpr int64_t kTicksPerSecond = 10000000;
