#pragma once
#include <array>
#include <cstdint>

#include "core/TickClock.h"

// Frames written in the last second: one slot per millisecond in a ring of 1000. The
// record loop pushes its count at most once a second, so a push clears every older
// entry and the sum is the latest count. One thread.
class FrameRateMeter {
public:
    explicit FrameRateMeter(TickClock clock = MonotonicTicks);

    void Push(int count);
    int Sum() const;

private:
    static constexpr int kSlots = 1000;
    TickClock m_clock;
    std::array<int, kSlots> m_slots{};
    int m_index = 0;
    int64_t m_lastPush = 0;
};
