#pragma once
#include <cstdint>
#include <string>

#include "core/CvxRect.h"

// The rules that settle a recording's frame rate, sizes, bitrate and memory cap from the
// machine and the request. Pure functions of their inputs.

enum class MachineClass { Slow, Middle, Fast };

// Fewer than 4 processors.
bool IsSlowComputer(uint32_t processorCount);
// 6 or more: fast; 4 or 5: middle; fewer: slow.
MachineClass ClassifyMachine(uint32_t processorCount);

// Bits per second for an output size (first row of the table that fits wins).
uint32_t GetDefaultBitrate(int width, int height);

struct CvxSize {
    int width = 0;
    int height = 0;
    bool operator==(const CvxSize& o) const { return width == o.width && height == o.height; }
};
// Scales (w, h) down to fit (maxW, maxH), keeping the proportions and even sides; a size
// that fits is returned unchanged.
CvxSize CvxFitSize(int width, int height, int maxWidth, int maxHeight);

// "<family>,<clock>,<count>" from the processor brand string, e.g. "i7,3.20,12".
std::string GetCpuDescription(const std::string& brand, uint32_t processorCount);

// An odd width loses its rightmost column, an odd height its bottom row.
CvxRect EvenCaptureRect(const CvxRect& rect);

struct RecordRequestLimits {
    uint32_t processorCount = 0;
    bool dxgiMode = false;     // the current capture mode is DXGI
    int maxFps = 0;            // 0: the machine class's default
    int maxWidth = 0;          // 0 in either: the class's default size for both
    int maxHeight = 0;
    int captureWidth = 0;
    int captureHeight = 0;
    bool gameVideo = false;
    uint32_t bitrate = 0;      // 0: automatic
    uint32_t bitrateCap = 0;   // 0: none
};

struct RecordSettings {
    MachineClass machine = MachineClass::Slow;
    int fps = 0;
    int maxWidth = 0;      // the limits after the class's defaults
    int maxHeight = 0;
    CvxSize output;
    uint32_t bitrate = 0;
    uint64_t memoryAllowance = 0;   // what the class adds to the memory cap
};

RecordSettings SettleRecordSettings(const RecordRequestLimits& limits);

constexpr uint64_t kRecordMemoryBase = 104857600;   // 100 MiB

// The memory cap of one recording: the base, the working set at its start and the
// class's allowance. Each recording has its own; nothing carries over from the last.
uint64_t RecordMemoryCap(uint64_t workingSetAtStart, uint64_t allowance);
