#include "foundation/Stopwatch.h"

#include <chrono>

int64_t MonotonicTicks() {
    using Ticks = std::chrono::duration<int64_t, std::ratio<1, 10000000>>;
    return std::chrono::duration_cast<Ticks>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double ElapsedMsSince(int64_t ticks) {
    const int64_t now = MonotonicTicks();
    // A value from the future (never from this clock, but possibly from a caller's
    // arithmetic) counts as no time passed rather than as a negative interval.
    if (now <= ticks) return 0.0;
    return static_cast<double>(now - ticks) / 10000.0;
}
