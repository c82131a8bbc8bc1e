#pragma once
#include <cstdint>
#include <optional>

// Interval timing on a monotonic clock. The values are only ever compared with each
// other, so a change of the system time (a user setting the clock back, a time sync)
// cannot stall an interval gate or make an elapsed time negative.

// The monotonic clock in 100-nanosecond ticks from an arbitrary origin (not 1970).
int64_t MonotonicTicks();

// Milliseconds from `ticks` (an earlier MonotonicTicks value) to now; never negative.
double ElapsedMsSince(int64_t ticks);

// Elapsed milliseconds since the last Start. Belongs to one thread.
class Stopwatch {
public:
    void Start() { m_start = MonotonicTicks(); }
    bool IsStarted() const { return m_start.has_value(); }
    // 0 before the first Start.
    double ElapsedMs() const { return m_start ? ElapsedMsSince(*m_start) : 0.0; }

private:
    std::optional<int64_t> m_start;
};
