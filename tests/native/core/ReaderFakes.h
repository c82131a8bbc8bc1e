#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/video/CursorComposer.h"
#include "core/video/Dx9FrameReader.h"
#include "core/video/DxgiFrameReader.h"
#include "Surface.h"

// The colour cursor of the fakes: paints the box's top-left pixel.
constexpr uint8_t kCursorPixel[4] = {0x0C, 0x0C, 0xC0, 0xFF};
// What a fake surface's DC draws for a monochrome cursor, at its top-left corner.
constexpr uint8_t kMonochromePixel[4] = {0x33, 0x33, 0x33, 0xFF};

class FakeCursor : public ICursorSource {
public:
    CursorShot shot;
    int takes = 0;
    int paints = 0;

    CursorShot Take() override {
        ++takes;
        return shot;
    }
    bool PaintOver(uint8_t* pixels, int size) override {
        ++paints;
        std::copy(kCursorPixel, kCursorPixel + 4, pixels + size_t(size - 1) * size * 4);
        return true;
    }
    void Show(int x, int y, int hotX, int hotY, bool monochrome) {
        shot.showing = shot.haveIcon = shot.havePosition = true;
        shot.monochrome = monochrome;
        shot.x = x;
        shot.y = y;
        shot.xHotspot = hotX;
        shot.yHotspot = hotY;
        shot.bitmapWidth = shot.bitmapHeight = monochrome ? 0 : 32;
    }
};

// Records the calls a reader makes, in order.
struct CallLog {
    std::vector<std::string> calls;
    void Add(const std::string& call) { calls.push_back(call); }
    size_t Count(const std::string& call) const {
        size_t n = 0;
        for (const auto& c : calls) n += c == call;
        return n;
    }
};

class FakeFrontBuffer : public IFrontBufferSurface {
public:
    explicit FakeFrontBuffer(int w, int h) : surface(w, h, 1) {}
    TestSurface surface;
    bool copyWorks = true;
    bool lockWorks = true;
    int locked = 0;  // locks not yet unlocked
    CallLog log;

    bool CopyFrontBuffer() override {
        log.Add("copy");
        return copyWorks;
    }
    bool DrawMonochromeCursor(int x, int y) override {
        log.Add("mono " + std::to_string(x) + "," + std::to_string(y));
        if (x >= 0 && y >= 0 && x < surface.width && y < surface.height)
            std::copy(kMonochromePixel, kMonochromePixel + 4, surface.Pixel(x, y));
        return true;
    }
    bool Lock(uint8_t*& bits, int& pitch) override {
        log.Add("lock");
        if (!lockWorks) return false;
        ++locked;
        bits = surface.bytes.data();
        pitch = surface.pitch;
        return true;
    }
    void Unlock() override {
        log.Add("unlock");
        --locked;
    }
};

class FakeDuplication : public IDesktopDuplication {
public:
    FakeDuplication(int w, int h) : surface(w, h, 2) {}
    TestSurface surface;
    std::vector<int32_t> acquireResults;  // one per call; S_OK when exhausted
    size_t acquireCalls = 0;
    bool takeThrows = false;
    bool monochromeThrows = false;
    int32_t mapResult = 0;
    int acquired = 0;  // frames not yet released
    int mapped = 0;
    CallLog log;

    int32_t AcquireNextFrame(unsigned timeoutMs) override {
        log.Add("acquire " + std::to_string(timeoutMs));
        int32_t hr = acquireCalls < acquireResults.size() ? acquireResults[acquireCalls] : 0;
        ++acquireCalls;
        if (hr >= 0) ++acquired;
        return hr;
    }
    void ReleaseFrame() override {
        log.Add("release");
        --acquired;
    }
    void TakeFrame() override;
    void DrawMonochromeCursor(int x, int y) override;
    int32_t Map(uint8_t*& bits, int& pitch) override {
        log.Add("map");
        if (mapResult < 0) return mapResult;
        ++mapped;
        bits = surface.bytes.data();
        pitch = surface.pitch;
        return mapResult;
    }
    void Unmap() override {
        log.Add("unmap");
        --mapped;
    }
    void Sleep(unsigned ms) override { log.Add("sleep " + std::to_string(ms)); }
};
