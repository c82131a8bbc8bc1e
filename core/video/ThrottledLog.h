#pragma once
#include "core/IntervalGate.h"
#include "foundation/Log.h"

// A log line at most once per interval, for lines that would otherwise be written once
// per recorded frame. The interval also runs from the limiter's creation, so a line
// within the first interval is dropped. One thread.
class ThrottledLog {
public:
    explicit ThrottledLog(double intervalMs, TickClock clock = MonotonicTicks);

    void operator()(const char* format, ...) BRIVANE_PRINTF(2, 3);

private:
    IntervalGate m_gate;
};
