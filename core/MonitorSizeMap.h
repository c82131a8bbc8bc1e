#pragma once
#include <map>
#include <string>
#include <utility>

// The monitor configuration: device name (such as "\\.\DISPLAY1") to the width and
// height of its monitor rectangle. Two configurations are the same when they hold the
// same names with the same sizes (std::map's ==); positions are not compared.
using MonitorSizeMap = std::map<std::wstring, std::pair<int, int>>;

// Adds one monitor; a name already present keeps its first entry.
void AddMonitor(MonitorSizeMap& map, const std::wstring& device, int width, int height);
