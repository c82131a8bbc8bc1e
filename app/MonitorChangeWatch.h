#pragma once
#include <functional>

// The monitor-count timer's decisions. When the number of monitors changes, the capture
// core must be re-initialised; a running recording still uses the core's Direct3D and
// Media Foundation objects, so it is cancelled first and the re-initialisation waits
// for a later tick on which no recording is active any more. The log file, which the
// re-initialisation closes, is opened again right after it. UI thread only.
class MonitorChangeWatch {
public:
    struct Actions {
        std::function<void()> cancelRecording;   // asks the running recording to stop, file dropped
        std::function<void()> reinitCore;
        std::function<void()> reopenLog;
    };

    explicit MonitorChangeWatch(int initialCount) : m_count(initialCount) {}

    // One tick with the current count (-1 when it could not be read) and whether a
    // recording is active.
    void Tick(int count, bool recordingActive, const Actions& actions);

    int Count() const { return m_count; }
    bool ReinitPending() const { return m_reinitPending; }

private:
    int m_count;
    bool m_reinitPending = false;
    bool m_cancelSent = false;
};
