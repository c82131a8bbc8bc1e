#include "core/FrameRateMeter.h"

FrameRateMeter::FrameRateMeter(TickClock clock) : m_clock(std::move(clock)) {
    m_lastPush = m_clock();
}

void FrameRateMeter::Push(int count) {
    int64_t now = m_clock();
    int64_t elapsedMs = (now - m_lastPush) / kTicksPerMs;
    if (elapsedMs < 0) elapsedMs = 0;
    // After a long pause clearing the whole ring once is enough.
    int64_t cleared = elapsedMs < kSlots ? elapsedMs : kSlots;
    for (int64_t i = 1; i <= cleared; ++i) m_slots[(m_index + i) % kSlots] = 0;
    m_index = static_cast<int>((m_index + elapsedMs % kSlots + 1) % kSlots);
    m_slots[m_index] = count;
    m_lastPush = now;
}

int FrameRateMeter::Sum() const {
    int sum = 0;
    for (int slot : m_slots) sum += slot;
    return sum;
}
