#include "foundation/ShotTiming.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "foundation/Log.h"

namespace {

std::atomic<bool> g_enabled{[] {
    const char* value = std::getenv("BRIVANE_TIMING");
    return value && std::strcmp(value, "1") == 0;
}()};

std::mutex g_mutex;
std::vector<std::pair<const char*, double>> g_stamps;   // step, wall-clock ms since 1970

double NowMs() {
    using namespace std::chrono;
    return duration_cast<duration<double, std::milli>>(system_clock::now().time_since_epoch()).count();
}

std::string Line() {
    if (g_stamps.empty()) return "";
    char part[96];
    std::snprintf(part, sizeof part, "Timing: %s %.3f", g_stamps[0].first, g_stamps[0].second);
    std::string line = part;
    for (size_t i = 1; i < g_stamps.size(); ++i) {
        std::snprintf(part, sizeof part, ", %s %.1f ms", g_stamps[i].first,
                      g_stamps[i].second - g_stamps[i - 1].second);
        line += part;
    }
    std::snprintf(part, sizeof part, ", total %.1f ms\n", g_stamps.back().second - g_stamps[0].second);
    return line + part;
}

}  // namespace

namespace ShotTiming {

bool Enabled() { return g_enabled.load(std::memory_order_relaxed); }

void Begin() {
    if (!Enabled()) return;
    std::lock_guard<std::mutex> lock(g_mutex);
    g_stamps.clear();
    g_stamps.emplace_back("key", NowMs());
}

void Mark(const char* step) {
    if (!Enabled()) return;
    std::lock_guard<std::mutex> lock(g_mutex);
    g_stamps.emplace_back(step, NowMs());
}

void Finish() {
    if (!Enabled()) return;
    std::string line;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        line = Line();
        g_stamps.clear();
    }
    if (!line.empty()) Log("%s", line.c_str());
}

void SetEnabledForTesting(bool on) { g_enabled = on; }

std::string LineForTesting() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return Line();
}

}  // namespace ShotTiming
