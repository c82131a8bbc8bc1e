#pragma once
#include <cstdint>
#include <memory>

#include "core/TickClock.h"

// A clock that moves only when told to; copies share the time.
class ManualClock {
public:
    ManualClock() : m_now(std::make_shared<int64_t>(1000 * kTicksPerSecond)) {}
    TickClock Source() const {
        auto now = m_now;
        return [now] { return *now; };
    }
    void AdvanceMs(double ms) { *m_now += static_cast<int64_t>(ms * kTicksPerMs); }
    int64_t Now() const { return *m_now; }

private:
    std::shared_ptr<int64_t> m_now;
};
