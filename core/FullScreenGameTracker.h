#pragma once
#include <atomic>
#include <cstdint>
#include <functional>

#include "core/MonitorSizeMap.h"
#include "core/TickClock.h"

// Watches the display configuration for the main dialog: whether the last display or
// device notification found a different set of monitors, and whether any notification
// was handled in the last 10 seconds. UpdateDisplayState runs on the UI thread;
// IsDisplayChangeRecent and IsFullScreenAppActive are also called by the hotkey poller.
class FullScreenGameTracker {
public:
    using MonitorSource = std::function<MonitorSizeMap()>;

    // Reads the monitors of this machine (Windows only).
    FullScreenGameTracker();
    FullScreenGameTracker(MonitorSource monitors, TickClock clock);

    // Called on every WM_DISPLAYCHANGE and WM_DEVICECHANGE.
    void UpdateDisplayState();
    bool IsDisplayChangeRecent() const;
    // A foreground window of another process fills its monitor (Windows only).
    static bool IsFullScreenAppActive();

    // Read by the main dialog's display-change handler.
    std::atomic<bool> m_displayChanged{false};

private:
    MonitorSource m_source;
    TickClock m_clock;
    MonitorSizeMap m_monitors;                 // UI thread only
    std::atomic<int64_t> m_lastUpdateTime{0};  // ticks of m_clock
};
