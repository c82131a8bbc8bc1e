#include "app/MonitorChangeWatch.h"

void MonitorChangeWatch::Tick(int count, bool recordingActive, const Actions& actions) {
    if (count != m_count) {
        m_count = count;
        m_reinitPending = true;
        m_cancelSent = false;
    }
    if (!m_reinitPending) return;
    if (recordingActive) {
        if (!m_cancelSent && actions.cancelRecording) actions.cancelRecording();
        m_cancelSent = true;
        return;
    }
    m_reinitPending = false;
    m_cancelSent = false;
    if (actions.reinitCore) actions.reinitCore();
    if (actions.reopenLog) actions.reopenLog();
}
