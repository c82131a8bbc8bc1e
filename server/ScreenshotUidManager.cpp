#include "server/ScreenshotUidManager.h"

#include "foundation/Log.h"
#include "foundation/Random.h"
#include "server/Analytics.h"
#include "server/ServerAPI.h"
#include "settings/SettingsManager.h"

ScreenshotUidManager::Hooks ScreenshotUidManager::Hooks::Default() {
    Hooks hooks;
    hooks.loadUids = [] { return SettingsManager::Instance().GetScreenshotUids(); };
    hooks.saveUids = [](const std::vector<std::string>& uids) { SettingsManager::Instance().SetScreenshotUids(uids); };
    hooks.fetchUids = [](std::function<void(const std::vector<std::string>&)> done) {
        ServerAPI::GetFileUids(std::move(done));
    };
    hooks.postEvent = [](const std::wstring& category, const std::wstring& action, const std::wstring& label) {
        CvxAnalyticsPostEventAsync(-1, category, action, label);
    };
    return hooks;
}

ScreenshotUidManager& ScreenshotUidManager::Instance() {
    // Never destroyed: a refill's reply may arrive while the process ends.
    static ScreenshotUidManager* instance = new ScreenshotUidManager();
    return *instance;
}

void ScreenshotUidManager::Init() { Init(Hooks::Default()); }

void ScreenshotUidManager::Init(Hooks hooks) {
    auto shared = std::make_shared<Hooks>(std::move(hooks));
    std::vector<std::string> loaded = shared->loadUids ? shared->loadUids() : std::vector<std::string>();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hooks = shared;
    m_pool = std::move(loaded);
}

std::vector<std::string> ScreenshotUidManager::Pool() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pool;
}

std::string ScreenshotUidManager::GetUid() {
    std::string result;
    size_t count = 0;
    std::shared_ptr<Hooks> hooks;
    try {
        std::lock_guard<std::mutex> lock(m_mutex);
        hooks = m_hooks;
        count = m_pool.size();
        if (count > 0) {
            result = m_pool.back();
            m_pool.pop_back();
            if (hooks && hooks->saveUids) hooks->saveUids(m_pool);
        }
    } catch (...) {
    }
    if (result.empty()) result = GenerateRandomId();
    if (count < 2 && hooks && hooks->fetchUids && !m_inFlight.exchange(true)) {
        try {
            hooks->fetchUids([this, hooks](const std::vector<std::string>& uids) {
                try {
                    if (uids.empty()) {
                        Log("ScreenshotUidManager::GetUid: failed\n");
                        if (hooks->postEvent) hooks->postEvent(L"Api", L"uids", L"Failed-3");
                    } else {
                        Log("ScreenshotUidManager::GetUid: ok\n");
                        AddUids(uids);
                        if (hooks->postEvent) hooks->postEvent(L"Api", L"uids", L"Ok-3");
                    }
                } catch (...) {
                }
                m_inFlight = false;
            });
        } catch (...) {
            Log("ScreenshotUidManager::GetUid: failed\n");
            m_inFlight = false;
        }
    }
    return result;
}

void ScreenshotUidManager::AddUids(const std::vector<std::string>& uids) {
    if (uids.empty()) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pool.insert(m_pool.end(), uids.begin(), uids.end());
    if (m_hooks && m_hooks->saveUids) m_hooks->saveUids(m_pool);
}
