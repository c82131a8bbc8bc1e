#include "foundation/EventBus.h"

#include <algorithm>

EventBus& EventBus::Instance() {
    static EventBus bus;
    return bus;
}

void EventBus::Register(IEventListener* listener) {
    if (!listener) return;
    std::lock_guard<std::mutex> guard(m_lock);
    if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end()) {
        m_listeners.push_back(listener);
    }
}

void EventBus::Unregister(IEventListener* listener) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener),
                      m_listeners.end());
}

void EventBus::Notify(const std::string& name) {
    std::vector<IEventListener*> listeners;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        listeners = m_listeners;
    }
    for (IEventListener* listener : listeners) listener->OnEvent(name);
}
