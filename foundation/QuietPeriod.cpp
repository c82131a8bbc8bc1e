#include "foundation/QuietPeriod.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

std::mutex g_mutex;
std::condition_variable g_quiet;
int g_scopes = 0;

}  // namespace

namespace QuietPeriod {

Scope::Scope() {
    std::lock_guard<std::mutex> lock(g_mutex);
    ++g_scopes;
}

Scope::~Scope() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (--g_scopes == 0) g_quiet.notify_all();
}

bool WaitUntilQuiet(int maxMs) {
    std::unique_lock<std::mutex> lock(g_mutex);
    return g_quiet.wait_for(lock, std::chrono::milliseconds(maxMs < 0 ? 0 : maxMs), [] { return g_scopes == 0; });
}

bool IsActive() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_scopes > 0;
}

}  // namespace QuietPeriod
