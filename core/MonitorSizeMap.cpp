#include "core/MonitorSizeMap.h"

void AddMonitor(MonitorSizeMap& map, const std::wstring& device, int width, int height) {
    map.emplace(device, std::make_pair(width, height));
}
