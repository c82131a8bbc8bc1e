#include "foundation/QuietPeriod.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>

namespace {

using Clock = std::chrono::steady_clock;

std::mutex g_mutex;
std::condition_variable g_changed;
int g_scopes = 0;
// The holds begun with Begin and their ends by time.
std::map<QuietPeriod::Token, Clock::time_point> g_holds;
QuietPeriod::Token g_lastToken = 0;
bool g_ended = false;
// The line of child starts: the next place to give, the first place that has not
// started yet, and the places after it that already have.
uint64_t g_nextPlace = 0;
uint64_t g_firstWaiting = 0;
std::set<uint64_t> g_startedAhead;

// Drops expired holds; true when nothing holds. g_mutex held.
bool QuietLocked(Clock::time_point now) {
    if (g_ended) return true;
    for (auto it = g_holds.begin(); it != g_holds.end();) {
        it = it->second <= now ? g_holds.erase(it) : std::next(it);
    }
    return g_scopes == 0 && g_holds.empty();
}

// Waits on g_changed until done() or the deadline, also waking when the first hold
// expires. Returns done(). `lock` holds g_mutex.
template <typename Done>
bool WaitLocked(std::unique_lock<std::mutex>& lock, Clock::time_point deadline, Done done) {
    while (!done()) {
        Clock::time_point wake = deadline;
        for (const auto& hold : g_holds) wake = std::min(wake, hold.second);
        if (Clock::now() >= deadline) return false;
        g_changed.wait_until(lock, wake);
    }
    return true;
}

Clock::time_point After(int ms) {
    return Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
}

}  // namespace

namespace QuietPeriod {

Scope::Scope() {
    std::lock_guard<std::mutex> lock(g_mutex);
    ++g_scopes;
}

Scope::~Scope() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (--g_scopes == 0) g_changed.notify_all();
}

Token Begin(int maxMs) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_ended) return 0;
    Token token = ++g_lastToken;
    g_holds[token] = After(maxMs);
    return token;
}

void End(Token token) {
    if (token == 0) return;
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_holds.erase(token) > 0) g_changed.notify_all();
}

void EndAll() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_ended = true;
    g_holds.clear();
    g_changed.notify_all();
}

bool WaitUntilQuiet(int maxMs) {
    std::unique_lock<std::mutex> lock(g_mutex);
    return WaitLocked(lock, After(maxMs), [] { return QuietLocked(Clock::now()); });
}

bool IsActive() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return !QuietLocked(Clock::now());
}

Turn::Turn() {
    std::lock_guard<std::mutex> lock(g_mutex);
    m_place = g_nextPlace++;
}

Turn::~Turn() { Started(); }

bool Turn::Wait(int maxMs) {
    std::unique_lock<std::mutex> lock(g_mutex);
    const uint64_t place = m_place;
    return WaitLocked(lock, After(maxMs), [place] { return QuietLocked(Clock::now()) && g_firstWaiting == place; });
}

void Turn::Started() {
    if (m_started) return;
    m_started = true;
    std::lock_guard<std::mutex> lock(g_mutex);
    g_startedAhead.insert(m_place);
    while (!g_startedAhead.empty() && *g_startedAhead.begin() == g_firstWaiting) {
        g_startedAhead.erase(g_startedAhead.begin());
        ++g_firstWaiting;
    }
    g_changed.notify_all();
}

}  // namespace QuietPeriod
