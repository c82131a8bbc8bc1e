#include "app/Notification.h"

NotificationQueue::QueueResult NotificationQueue::Queue(Notification notification, bool silentMode,
                                                         bool showNotifications) {
    if (silentMode || !showNotifications) return QueueResult::Dropped;
    QueueResult result = m_pending ? QueueResult::Replaced : QueueResult::Queued;
    m_pending = std::make_unique<Notification>(std::move(notification));
    return result;
}
