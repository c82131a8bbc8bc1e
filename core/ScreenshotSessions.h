#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "core/CvxGetScreenshotStatus.h"
#include "core/CvxRect.h"
#include "core/MonitorSizeMap.h"
#include "core/ReaderFactory.h"

// Capture sessions: readers kept alive under numeric ids for the record loop, which
// reads frame after frame, refreshes a reader after a failure and learns from the
// status whether the monitors changed underneath it. Nothing here throws.
//
// Only one session at a time is really supported: the area and mode used by refreshes
// are those of the last start. Used by the recording thread only; not locked.
class ScreenshotSessions {
public:
    using MonitorSource = std::function<MonitorSizeMap()>;

    ScreenshotSessions(ReaderFactory factory, MonitorSource monitors, int initialMode);

    // A new session of `mode` for `area` (all zero: the reader's whole surface); its id,
    // or -1. Every attempt consumes an id; the first is 1.
    int StartInMode(int mode, const CvxRect& area);
    // In `currentMode`, falling back to GDI when that fails.
    int Start(int currentMode, const CvxRect& area);
    // Reads one frame. On failure the buffer is emptied, `time` is left alone and the
    // status tells a changed monitor configuration from a failure of the reader.
    std::vector<uint8_t>& Read(int id, std::vector<uint8_t>& buffer, uint64_t& time,
                               CvxGetScreenshotStatus& status);
    // Replaces the session's reader by a new one; a reader that cannot be built leaves
    // the session without one, so its next read fails.
    void TryRefresh(int id);
    void Stop(int id);

    int SessionMode() const { return m_sessionMode; }
    bool Has(int id) const { return m_sessions.count(id) != 0; }

private:
    ReaderFactory m_factory;
    MonitorSource m_monitorSource;
    std::map<int, std::unique_ptr<IScreenReader>> m_sessions;
    int m_lastId = 0;
    int m_sessionMode;
    CvxRect m_area;
    bool m_captureCursor = true;
    MonitorSizeMap m_startMonitors;
};

// The process's sessions (Windows build), used by the recording thread. The capture core's
// start (CvxInit) makes them, so that the monitor map taken when the program starts is
// there for the first comparison; a start that only hands its command line over to the
// running program never reads the monitors, which would connect it to the display.
ScreenshotSessions& ProcessScreenshotSessions();
