#pragma once
#include "service/http/ServiceHttpServer.h"
#include "service/logic/Options.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace service {

class Handlers;
class Storage;

// The whole service: storage, handlers and one server per listen address, each
// accepting on a thread of its own. Used by main and by the tests, which run it
// in-process on port 0.
class ServiceApp {
public:
    // limits: time-outs and sizes of the connections (tests shorten them).
    explicit ServiceApp(Options options, const ServerLimits& limits = ServerLimits());
    ~ServiceApp();
    ServiceApp(const ServiceApp&) = delete;
    ServiceApp& operator=(const ServiceApp&) = delete;

    // Opens the data folder and binds every address; false, with the reason, when any
    // of that fails (nothing is left running then).
    bool Start(std::string* error);
    // The ports bound, in the order of the listen addresses.
    const std::vector<int>& Ports() const { return m_ports; }
    // Stops accepting, finishes the running requests and closes the storage.
    void Stop();

    Storage& GetStorage() { return *m_storage; }

private:
    Options m_options;
    ServerLimits m_limits;
    std::unique_ptr<Storage> m_storage;
    std::unique_ptr<Handlers> m_handlers;
    std::vector<std::unique_ptr<ServiceHttpServer>> m_servers;
    std::vector<std::thread> m_threads;
    std::vector<int> m_ports;
    // Removes files a crash left unreferenced, beside the servers (a large data folder
    // must not delay the start).
    std::thread m_sweeper;
    std::atomic<bool> m_stopSweeper{false};
};

}  // namespace service
