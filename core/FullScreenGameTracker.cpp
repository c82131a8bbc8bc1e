#include "core/FullScreenGameTracker.h"

#include "foundation/Log.h"

namespace {

// At start no change counts as recent: the last update lies 100 hours back.
constexpr int64_t kLongAgoTicks = 3600000000000LL;
constexpr int64_t kRecentTicks = 10 * kTicksPerSecond;

}  // namespace

FullScreenGameTracker::FullScreenGameTracker(MonitorSource monitors, TickClock clock)
    : m_source(std::move(monitors)), m_clock(std::move(clock)) {
    m_monitors = m_source();
    m_lastUpdateTime.store(m_clock() - kLongAgoTicks, std::memory_order_relaxed);
}

void FullScreenGameTracker::UpdateDisplayState() {
    MonitorSizeMap fresh = m_source();
    m_displayChanged.exchange(false);
    bool changed = fresh != m_monitors;
    m_displayChanged.exchange(changed);
    if (changed) Log("FullScreenGameTracker: Display state change detected\n");
    m_monitors = std::move(fresh);
    m_lastUpdateTime.store(m_clock(), std::memory_order_relaxed);
}

bool FullScreenGameTracker::IsDisplayChangeRecent() const {
    return m_clock() - m_lastUpdateTime.load(std::memory_order_relaxed) < kRecentTicks;
}
