#include "core/IntervalGate.h"

IntervalGate::IntervalGate(double intervalMs, TickClock clock)
    : m_clock(std::move(clock)), m_intervalMs(intervalMs) {}

bool IntervalGate::IsDue() const {
    return !m_started || ElapsedMs() >= m_intervalMs;
}

void IntervalGate::Restart() {
    m_start = m_clock();
    m_started = true;
}

double IntervalGate::ElapsedMs() const {
    if (!m_started) return 0.0;
    return static_cast<double>(m_clock() - m_start) / static_cast<double>(kTicksPerMs);
}
