#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/CvxException.h"
#include "core/ReaderFactory.h"

// Reader behaviour chosen per mode by the test.
enum class FakeRead { Image, NoImage, ThrowCvx, ThrowAccessLost, ThrowInvalidCall, ThrowOther };

struct FakeReaderWorld {
    std::map<int, bool> buildFails;      // the factory throws CvxException for this mode
    std::map<int, FakeRead> reads;       // what a reader of this mode does
    std::map<int, uint8_t> fill;         // blue byte of the image of this mode
    std::vector<std::string> built;      // "mode cursor left,top,right,bottom"
    int alive = 0;                       // readers not yet destroyed
    uint64_t time = 4242;
    int readCount = 0;                   // reads of every reader
    std::function<void()> onRead;        // called at the start of every read

    ReaderFactory Factory();
};

class FakeReader : public IScreenReader {
public:
    FakeReader(FakeReaderWorld& world, int mode, const CvxRect& area)
        : m_world(world), m_mode(mode), m_area(area) {
        ++m_world.alive;
    }
    ~FakeReader() override { --m_world.alive; }
    std::vector<uint8_t>& Read(std::vector<uint8_t>& buffer, uint64_t& time) override;

private:
    FakeReaderWorld& m_world;
    int m_mode;
    CvxRect m_area;
};
