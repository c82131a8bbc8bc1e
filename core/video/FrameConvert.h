#pragma once
#include <cstdint>
#include <vector>

// A planar 4:2:0 picture (BT.601, limited range), as H.264 encoders take it.
struct I420Picture {
    uint32_t width = 0, height = 0;   // even
    std::vector<uint8_t> y, u, v;     // strides width, width/2, width/2
};

// Turns bottom-up 32-bit BGRA frames of one size (the fourth byte is ignored) into
// top-down I420 pictures of another (bilinear when the sizes differ). Reuses its buffers.
class FrameConverter {
public:
    FrameConverter(uint32_t srcWidth, uint32_t srcHeight, uint32_t dstWidth, uint32_t dstHeight);
    // `frame` holds srcWidth x srcHeight x 4 bytes.
    const I420Picture& Convert(const uint8_t* frame);

private:
    void Scale(const uint8_t* frame);
    void ToI420(const uint8_t* topRow, int64_t stride);

    uint32_t m_srcWidth, m_srcHeight;
    std::vector<uint8_t> m_scaled;
    std::vector<uint32_t> m_xIndex, m_xWeight;
    I420Picture m_picture;
};
