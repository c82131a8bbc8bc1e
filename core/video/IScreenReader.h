#pragma once
#include <cstdint>
#include <vector>

// One way of reading the screen (GDI, Direct3D 9 front buffer, DXGI duplication). A
// reader is built for one area and used by one thread at a time.
class IScreenReader {
public:
    virtual ~IScreenReader() = default;

    // Fills `buffer` with the area as width x height x 4 bytes, rows bottom-up, pixels
    // blue, green, red, fourth byte, and sets `time` (performance counter, 100 ns) when
    // it read a new image. An empty buffer means the reader got no image at all; a
    // reader never passes off a failed read as a black frame. Readers that may keep the
    // previous image leave `buffer` and `time` untouched instead.
    virtual std::vector<uint8_t>& Read(std::vector<uint8_t>& buffer, uint64_t& time) = 0;
};
