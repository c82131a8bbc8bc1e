#pragma once
#include <cstdint>

#include "core/TickClock.h"

// "Once every N milliseconds": due when never restarted, or when at least the interval
// has passed since the last Restart. The owner calls Restart when it acts. One thread.
class IntervalGate {
public:
    explicit IntervalGate(double intervalMs, TickClock clock = MonotonicTicks);

    bool IsDue() const;
    void Restart();
    // Milliseconds since the last Restart; 0 before the first.
    double ElapsedMs() const;
    bool IsRunning() const { return m_started; }

private:
    TickClock m_clock;
    double m_intervalMs;
    bool m_started = false;
    int64_t m_start = 0;
};
