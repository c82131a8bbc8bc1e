#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The process-wide pool of identifiers issued by the service, kept in the settings
// ("file_uids"), so that an upload's short link is made before anything is sent.
// Identifiers are handed out last in, first out; a locally made 8-character identifier
// stands in when the pool is empty, and a refill starts when the last one is taken.
class ScreenshotUidManager {
public:
    // What the pool reaches outside; Default() is the program's, tests replace entries.
    struct Hooks {
        std::function<std::vector<std::string>()> loadUids;
        std::function<void(const std::vector<std::string>&)> saveUids;
        // Starts the identifier request; the callback runs once, on any thread.
        std::function<void(std::function<void(const std::vector<std::string>&)>)> fetchUids;
        std::function<void(const std::wstring& category, const std::wstring& action, const std::wstring& label)>
            postEvent;
        static Hooks Default();
    };

    static ScreenshotUidManager& Instance();

    // Creates the pool from the settings (start-up).
    void Init();
    // The same with other hooks (tests).
    void Init(Hooks hooks);

    // Always an identifier: the pool's last one, or a local one when it is empty. Starts
    // a refill when the pool is empty afterwards and none is running. UI thread.
    std::string GetUid();
    void AddUids(const std::vector<std::string>& uids);

    std::vector<std::string> Pool();
    bool RefillInFlight() const { return m_inFlight; }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_pool;
    std::atomic<bool> m_inFlight{false};
    // Set by Init; read by the refill's reply step on another thread.
    std::shared_ptr<Hooks> m_hooks;
};
