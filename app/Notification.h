#pragma once
#include <memory>
#include <string>

// One balloon of the tray icon waiting to be shown.
struct Notification {
    std::wstring title;
    std::wstring text;
    bool isError = false;
};

// The main dialog's pending balloon. A notification is shown one second after it is
// queued; one queued while another waits replaces it without re-arming the timer, so a
// burst shows only its last notification. UI thread only.
class NotificationQueue {
public:
    enum class QueueResult {
        Dropped,    // silent mode, or notifications are off: nothing queued
        Replaced,   // replaced the waiting one; the running timer shows it
        Queued,     // nothing was waiting: the caller arms the one-second timer
    };

    QueueResult Queue(Notification notification, bool silentMode, bool showNotifications);
    // The timer fired: the waiting notification (null when none); the queue is empty after.
    std::unique_ptr<Notification> Take() { return std::move(m_pending); }
    bool HasPending() const { return m_pending != nullptr; }

private:
    std::unique_ptr<Notification> m_pending;
};
