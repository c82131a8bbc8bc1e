#pragma once
#include <mutex>
#include <string>
#include <vector>

#include "foundation/IEventListener.h"

// Tells the settings pages that an option changed without the pages knowing each other.
// Delivery is immediate and synchronous, in registration order.
class EventBus {
public:
    // The process-wide bus, created on first use.
    static EventBus& Instance();

    // Appends the listener unless it is registered already. Not owned.
    void Register(IEventListener* listener);
    // Removes the listener; a window unregisters before it is destroyed.
    void Unregister(IEventListener* listener);
    // Calls OnEvent(name) on every listener before it returns. Listeners may register
    // or unregister from inside OnEvent; such a change applies from the next Notify.
    void Notify(const std::string& name);

private:
    std::mutex m_lock;   // guards m_listeners; never held while a listener runs
    std::vector<IEventListener*> m_listeners;
};
