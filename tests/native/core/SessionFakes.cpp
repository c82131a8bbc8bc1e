#include "SessionFakes.h"

#include <stdexcept>

#include "core/video/DXGIException.h"

ReaderFactory FakeReaderWorld::Factory() {
    return [this](int mode, bool cursor, const CvxRect& area) -> std::unique_ptr<IScreenReader> {
        if (mode < 0 || mode > 2) return nullptr;
        built.push_back(std::to_string(mode) + (cursor ? " cursor " : " plain ") +
                        std::to_string(area.left) + "," + std::to_string(area.top) + "," +
                        std::to_string(area.right) + "," + std::to_string(area.bottom));
        if (buildFails[mode]) throw CvxException(std::string("cannot build ") + std::to_string(mode));
        return std::make_unique<FakeReader>(*this, mode, area);
    };
}

std::vector<uint8_t>& FakeReader::Read(std::vector<uint8_t>& buffer, uint64_t& time) {
    ++m_world.readCount;
    if (m_world.onRead) m_world.onRead();
    switch (m_world.reads[m_mode]) {
    case FakeRead::Image: {
        CvxRect area = m_area.IsAllZero() ? CvxRect{0, 0, 4, 2} : m_area;
        buffer.assign(FrameBytes(area), 0);
        for (size_t i = 0; i < buffer.size(); i += 4) buffer[i] = m_world.fill[m_mode];
        time = m_world.time;
        return buffer;
    }
    case FakeRead::NoImage: buffer.clear(); return buffer;
    case FakeRead::ThrowCvx: throw CvxException(std::string("read failed"));
    case FakeRead::ThrowAccessLost: throw core::video::DXGIAccessLostException();
    case FakeRead::ThrowInvalidCall: throw core::video::DXGIInvalidCallException();
    case FakeRead::ThrowOther: throw std::runtime_error("other");
    }
    return buffer;
}
