#include "core/video/FrameConvert.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

inline uint8_t LumaOf(int r, int g, int b) { return uint8_t(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16); }
inline uint8_t CbOf(int r, int g, int b) { return uint8_t(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128); }
inline uint8_t CrOf(int r, int g, int b) { return uint8_t(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128); }

#if defined(__SSE2__)
// Sixteen pixels of two rows at a time, with the same integer arithmetic as the scalar
// formulas above (the sums stay within 16 bits: luma below 56,300, chroma within
// +-28,700), so the output is identical.

// Blue, green and red of 8 BGRA pixels as 16-bit lanes.
inline void Channels(const uint8_t* p, __m128i& r, __m128i& g, __m128i& b) {
    const __m128i low = _mm_set1_epi32(0xFF);
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    b = _mm_packs_epi32(_mm_and_si128(a, low), _mm_and_si128(c, low));
    g = _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(a, 8), low), _mm_and_si128(_mm_srli_epi32(c, 8), low));
    r = _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(a, 16), low), _mm_and_si128(_mm_srli_epi32(c, 16), low));
}

inline __m128i Luma8(__m128i r, __m128i g, __m128i b) {
    __m128i sum = _mm_add_epi16(_mm_mullo_epi16(r, _mm_set1_epi16(66)), _mm_mullo_epi16(g, _mm_set1_epi16(129)));
    sum = _mm_add_epi16(sum, _mm_mullo_epi16(b, _mm_set1_epi16(25)));
    sum = _mm_add_epi16(sum, _mm_set1_epi16(128));
    return _mm_add_epi16(_mm_srli_epi16(sum, 8), _mm_set1_epi16(16));
}

// (a + b + c + d + 2) >> 2 of each 2x2 block: 8 pixels of two rows give 4 values (32-bit).
inline __m128i BlockMean4(__m128i row0, __m128i row1) {
    const __m128i pairs = _mm_madd_epi16(_mm_add_epi16(row0, row1), _mm_set1_epi16(1));
    return _mm_srli_epi32(_mm_add_epi32(pairs, _mm_set1_epi32(2)), 2);
}

inline __m128i Chroma8(__m128i r, __m128i g, __m128i b, short kr, short kg, short kb) {
    __m128i sum = _mm_add_epi16(_mm_mullo_epi16(r, _mm_set1_epi16(kr)), _mm_mullo_epi16(g, _mm_set1_epi16(kg)));
    sum = _mm_add_epi16(sum, _mm_mullo_epi16(b, _mm_set1_epi16(kb)));
    sum = _mm_add_epi16(sum, _mm_set1_epi16(128));
    return _mm_add_epi16(_mm_srai_epi16(sum, 8), _mm_set1_epi16(128));
}

inline void Store8(uint8_t* out, __m128i v) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(v, v));
}

// 16 pixels of two rows: 16 + 16 luma and 8 + 8 chroma values.
inline void Convert16(const uint8_t* row0, const uint8_t* row1, uint8_t* y0, uint8_t* y1, uint8_t* u, uint8_t* v) {
    __m128i r[4], g[4], b[4];
    Channels(row0, r[0], g[0], b[0]);
    Channels(row0 + 32, r[1], g[1], b[1]);
    Channels(row1, r[2], g[2], b[2]);
    Channels(row1 + 32, r[3], g[3], b[3]);
    Store8(y0, Luma8(r[0], g[0], b[0]));
    Store8(y0 + 8, Luma8(r[1], g[1], b[1]));
    Store8(y1, Luma8(r[2], g[2], b[2]));
    Store8(y1 + 8, Luma8(r[3], g[3], b[3]));
    const __m128i mr = _mm_packs_epi32(BlockMean4(r[0], r[2]), BlockMean4(r[1], r[3]));
    const __m128i mg = _mm_packs_epi32(BlockMean4(g[0], g[2]), BlockMean4(g[1], g[3]));
    const __m128i mb = _mm_packs_epi32(BlockMean4(b[0], b[2]), BlockMean4(b[1], b[3]));
    Store8(u, Chroma8(mr, mg, mb, -38, -74, 112));
    Store8(v, Chroma8(mr, mg, mb, 112, -94, -18));
}
#endif

}  // namespace

FrameConverter::FrameConverter(uint32_t srcWidth, uint32_t srcHeight, uint32_t dstWidth, uint32_t dstHeight)
    : m_srcWidth(srcWidth), m_srcHeight(srcHeight) {
    m_picture.width = std::max<uint32_t>(2, dstWidth & ~1u);
    m_picture.height = std::max<uint32_t>(2, dstHeight & ~1u);
    m_picture.y.resize(size_t(m_picture.width) * m_picture.height);
    m_picture.u.resize(size_t(m_picture.width / 2) * (m_picture.height / 2));
    m_picture.v.resize(m_picture.u.size());
    if (m_picture.width != srcWidth || m_picture.height != srcHeight) {
        m_scaled.resize(size_t(m_picture.width) * m_picture.height * 4);
        // horizontal source positions in 16.16, sampled at pixel centres
        m_xIndex.resize(m_picture.width);
        m_xWeight.resize(m_picture.width);
        for (uint32_t x = 0; x < m_picture.width; ++x) {
            const double sx = std::clamp((x + 0.5) * srcWidth / m_picture.width - 0.5, 0.0, double(srcWidth - 1));
            const uint32_t i = std::min<uint32_t>(uint32_t(sx), srcWidth > 1 ? srcWidth - 2 : 0);
            m_xIndex[x] = i;
            m_xWeight[x] = srcWidth > 1 ? uint32_t((sx - i) * 256.0 + 0.5) : 0;
        }
    }
}

void FrameConverter::Scale(const uint8_t* frame) {
    const uint32_t w = m_picture.width, h = m_picture.height;
    const size_t srcStride = size_t(m_srcWidth) * 4;
    const bool oneColumn = m_srcWidth < 2;
    for (uint32_t y = 0; y < h; ++y) {
        const double sy = std::clamp((y + 0.5) * m_srcHeight / h - 0.5, 0.0, double(m_srcHeight - 1));
        const uint32_t top = std::min<uint32_t>(uint32_t(sy), m_srcHeight > 1 ? m_srcHeight - 2 : 0);
        const uint32_t wy = m_srcHeight > 1 ? uint32_t((sy - top) * 256.0 + 0.5) : 0;
        // rows counted from the top; the frame is stored bottom-up
        const uint8_t* r0 = frame + size_t(m_srcHeight - 1 - top) * srcStride;
        const uint8_t* r1 = m_srcHeight > 1 ? r0 - srcStride : r0;
        uint8_t* out = m_scaled.data() + size_t(y) * w * 4;
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t i = m_xIndex[x] * 4, wx = m_xWeight[x];
            const uint32_t j = oneColumn ? i : i + 4;
            for (int c = 0; c < 3; ++c) {
                const uint32_t a = r0[i + c] * (256 - wx) + r0[j + c] * wx;
                const uint32_t b = r1[i + c] * (256 - wx) + r1[j + c] * wx;
                out[x * 4 + c] = uint8_t((a * (256 - wy) + b * wy + 32768) >> 16);
            }
        }
    }
}

void FrameConverter::ToI420(const uint8_t* topRow, int64_t stride) {
    const uint32_t w = m_picture.width, h = m_picture.height;
    for (uint32_t y = 0; y < h; y += 2) {
        const uint8_t* row0 = topRow + int64_t(y) * stride;
        const uint8_t* row1 = row0 + stride;
        uint8_t* y0 = m_picture.y.data() + size_t(y) * w;
        uint8_t* y1 = y0 + w;
        uint8_t* u = m_picture.u.data() + size_t(y / 2) * (w / 2);
        uint8_t* v = m_picture.v.data() + size_t(y / 2) * (w / 2);
        uint32_t x = 0;
#if defined(__SSE2__)
        for (; x + 16 <= w; x += 16) Convert16(row0 + x * 4, row1 + x * 4, y0 + x, y1 + x, u + x / 2, v + x / 2);
#endif
        for (; x < w; x += 2) {
            const uint8_t* p = row0 + x * 4;
            const uint8_t* q = row1 + x * 4;
            y0[x] = LumaOf(p[2], p[1], p[0]);
            y0[x + 1] = LumaOf(p[6], p[5], p[4]);
            y1[x] = LumaOf(q[2], q[1], q[0]);
            y1[x + 1] = LumaOf(q[6], q[5], q[4]);
            const int r = (p[2] + p[6] + q[2] + q[6] + 2) >> 2;
            const int g = (p[1] + p[5] + q[1] + q[5] + 2) >> 2;
            const int b = (p[0] + p[4] + q[0] + q[4] + 2) >> 2;
            u[x / 2] = CbOf(r, g, b);
            v[x / 2] = CrOf(r, g, b);
        }
    }
}

const I420Picture& FrameConverter::Convert(const uint8_t* frame) {
    if (m_scaled.empty()) {
        const int64_t stride = int64_t(m_srcWidth) * 4;
        ToI420(frame + (int64_t(m_srcHeight) - 1) * stride, -stride);
    } else {
        Scale(frame);
        ToI420(m_scaled.data(), int64_t(m_picture.width) * 4);
    }
    return m_picture;
}
