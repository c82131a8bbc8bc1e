#pragma once
#include <string>

// Receives the named events of the EventBus. Windows implement it as a second base
// beside their window class; the bus never owns or deletes a listener.
class IEventListener {
public:
    // Called on the thread that notifies (the UI thread). A listener ignores names it
    // does not know.
    virtual void OnEvent(const std::string& name) = 0;

protected:
    ~IEventListener() = default;
};
