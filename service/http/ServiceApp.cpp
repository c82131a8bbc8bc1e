#include "service/http/ServiceApp.h"

#include "service/http/Handlers.h"
#include "service/http/RequestLog.h"
#include "service/http/ServiceHttpServer.h"
#include "service/storage/Storage.h"

#include <chrono>
#include <csignal>
#include <ctime>
#include <sys/resource.h>

namespace service {
namespace {

// Every connection and every stored file being served is a descriptor; the usual soft
// limit of 1024 is below what a thousand clients need.
void RaiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

std::string AddressText(const ListenAddress& a, int port) {
    bool v6 = a.host.find(':') != std::string::npos;
    return (v6 ? "[" + a.host + "]" : a.host) + ":" + std::to_string(port);
}

}  // namespace

ServiceApp::ServiceApp(Options options, const ServerLimits& limits)
    : m_options(std::move(options)), m_limits(limits) {}

ServiceApp::~ServiceApp() { Stop(); }

bool ServiceApp::Start(std::string* error) {
    // A client that disconnects while we write must not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    RaiseDescriptorLimit();
    m_storage = Storage::Open(m_options.dataDir, error);
    if (!m_storage) return false;
    ServiceConfig config;
    config.maxUploadSize = m_options.maxUploadSize;
    config.latestVersion = m_options.latestVersion;
    config.publicUrl = m_options.publicUrl;
    m_handlers = std::make_unique<Handlers>(*m_storage, config);
    ServerLimits limits = m_limits;
    limits.threads = m_options.threads;
    for (const ListenAddress& address : m_options.listen) {
        auto server = std::make_unique<ServiceHttpServer>(limits);
        m_handlers->Register(*server);
        int port = server->Bind(address.host, address.port);
        if (port < 0) {
            if (error) *error = "cannot listen on " + AddressText(address, address.port);
            Stop();
            return false;
        }
        m_ports.push_back(port);
        m_servers.push_back(std::move(server));
    }
    for (auto& server : m_servers) {
        ServiceHttpServer* s = server.get();
        m_threads.emplace_back([s] { s->Run(); });
    }
    // stop() only reaches a server that is already accepting; wait until each is, so
    // that a Stop right after Start cannot be lost.
    for (auto& server : m_servers) {
        while (!server->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (size_t i = 0; i < m_ports.size(); ++i)
        WriteLogLine("brivane-service listening on " + AddressText(m_options.listen[i], m_ports[i]));
    // Every file this run writes is newer than its start; older unreferenced ones are
    // leftovers of an earlier run.
    int64_t started = static_cast<int64_t>(std::time(nullptr));
    m_stopSweeper = false;
    m_sweeper = std::thread([this, started] {
        try {
            size_t removed = m_storage->RemoveUnreferencedFiles(started, m_stopSweeper);
            if (removed > 0) WriteLogLine("removed " + std::to_string(removed) + " unreferenced stored files");
        } catch (const std::exception& e) {
            WriteLogLine(std::string("removing unreferenced files failed: ") + e.what());
        }
    });
    return true;
}

void ServiceApp::Stop() {
    m_stopSweeper = true;
    if (m_sweeper.joinable()) m_sweeper.join();
    for (auto& server : m_servers) server->stop();
    for (std::thread& t : m_threads) {
        if (t.joinable()) t.join();
    }
    m_threads.clear();
    m_servers.clear();
    m_ports.clear();
    m_handlers.reset();
    m_storage.reset();
}

}  // namespace service
