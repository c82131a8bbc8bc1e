// Neighbourhood filters: integer convolution, erosion, dilation, edge strength,
// median, contour, random displacement and noise. A square window of size k
// around (x, y) covers x - k/2 ... x - k/2 + k - 1 (the same for y), so an even
// window reaches one further down and left; window pixels outside the image read
// as GetPixelColor gives them.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#define PX_FILTER_SSE2 1
#endif

#include "image/PxImage.h"
#include "image/ops/PxOpsSupport.h"

using pxops::ClampByte;

namespace {
thread_local uint32_t g_randomState = 1;

bool WindowOk(long k) { return k >= 1 && k <= PxImage::kMaxFilterWindow; }

// Kernel sums may be as large as the kernel's values allow; they wrap the way
// 64-bit unsigned arithmetic does rather than overflow.
int64_t Wrap(uint64_t v) { return static_cast<int64_t>(v); }
int64_t Divide(int64_t sum, int64_t divisor) {
    if (divisor == -1) return Wrap(0 - static_cast<uint64_t>(sum));
    return sum / divisor;
}
uint8_t ClampWide(int64_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

int CompareForSort(const void* a, const void* b) {
    long d = PxImage::CompareColors(a, b);
    return d < 0 ? -1 : (d > 0 ? 1 : 0);
}

// The copy a filter writes into, with the pixels, mask and alpha: pixels outside
// the work area, and the rows left when the escape field stops the loop, keep
// their values.
bool MakeWork(const PxImage& self, PxImage& work) {
    work.Copy(self, true, true, true);
    return work.IsValid();
}

// Calls row(y, left, right) for every row of the work area (columns left ..
// right - 1), reporting progress and stopping when the escape field is set.
template <typename F>
void ForEachWorkRow(PxImage& image, F row) {
    pxops::WorkArea a = pxops::GetWorkArea(image);
    for (long y = a.bottom; y < a.top; ++y) {
        image.SetProgress(pxops::Percent(y - a.bottom, a.top - a.bottom));
        if (image.GetEscape()) break;
        row(y, a.left, a.right);
    }
}

// Calls f(x, y) for the selected pixels among columns left .. right - 1 of row y.
template <typename F>
void ForSelectedPixels(const PxImage& image, long y, long left, long right, F& f) {
    for (long x = left; x < right; ++x)
        if (image.SelectionIsInside(x, y)) f(x, y);
}

// Calls f(x, y) for every selected pixel of the work area, row by row.
template <typename F>
void ForEachWorkPixel(PxImage& image, F f) {
    ForEachWorkRow(image, [&](long y, long left, long right) { ForSelectedPixels(image, y, left, right, f); });
}

// The integer convolution of the pixels whose whole window lies inside the image,
// for 24-bit pixels and grey indices. A row is a flat array of bytes in which one
// pixel of window is `step` bytes further, and every channel is summed alike.
// The sums are kept in float, which is exact while every partial sum is an integer
// of magnitude below 2^24: kernels whose absolute values add up to at most
// 2^24 / 255. The quotient of two such integers, rounded to float and truncated,
// is their integer quotient (the rounding moves it by less than 1 / divisor, the
// distance to the nearest other integer). Other kernels, divisors and offsets keep
// the 64-bit per-pixel path.
class RowConvolver {
public:
    static constexpr int64_t kMaxAbsSum = ((int64_t{1} << 24) - 1) / 255;
    static constexpr int64_t kMaxOffset = int64_t{1} << 30;

    RowConvolver(const long* kernel, long k, long divisor, long offset, long step, long width, long height,
                 const uint8_t* pixels, size_t rowSize)
        : m_k(k), m_k2(k / 2), m_step(step), m_height(height), m_pixels(pixels),
          m_rowSize(rowSize) {
        const int64_t div = divisor == 0 ? 1 : divisor;
        if (div >= kMaxAbsSum * 255 + 1 || div <= -(kMaxAbsSum * 255 + 1)) return;
        if (offset > kMaxOffset || offset < -kMaxOffset) return;
        int64_t absSum = 0;
        for (long n = 0; n < k * k; ++n) {
            int64_t v = kernel[n];
            absSum += v < 0 ? -v : v;
            if (v > kMaxAbsSum || v < -kMaxAbsSum || absSum > kMaxAbsSum) return;
        }
        // Interior columns: x - k2 >= 0 and x - k2 + k - 1 < width.
        m_firstX = m_k2;
        m_endX = width - k + m_k2 + 1;
        if (m_endX <= m_firstX) return;
        const size_t rowFloats = static_cast<size_t>(width) * static_cast<size_t>(step);
        const size_t taps = static_cast<size_t>(k) * static_cast<size_t>(k);
        m_rows.reset(new (std::nothrow) float[rowFloats * static_cast<size_t>(k)]);
        m_rowOf.reset(new (std::nothrow) long[static_cast<size_t>(k)]);
        m_tapWeight.reset(new (std::nothrow) float[taps]);
        m_tapRow.reset(new (std::nothrow) long[taps]);
        m_tapShift.reset(new (std::nothrow) long[taps]);
        m_tapSource.reset(new (std::nothrow) const float*[taps]);
        m_out.reset(new (std::nothrow) uint8_t[rowFloats]);
        if (!m_rows || !m_rowOf || !m_tapWeight || !m_tapRow || !m_tapShift || !m_tapSource || !m_out) return;
        for (long n = 0; n < k; ++n) m_rowOf[n] = -1;
        // Taps of weight zero add nothing and are left out.
        for (long dy = -m_k2; dy < k - m_k2; ++dy)
            for (long dx = -m_k2; dx < k - m_k2; ++dx) {
                long v = kernel[(dx + m_k2) + k * (dy + m_k2)];
                if (v == 0) continue;
                m_tapWeight[m_taps] = static_cast<float>(v);
                m_tapRow[m_taps] = dy;
                m_tapShift[m_taps] = dx * step;
                ++m_taps;
            }
        m_divisor = static_cast<float>(div);
        m_offset = static_cast<int32_t>(offset);
        m_rowFloats = rowFloats;
        m_ok = true;
    }

    // Whether row y is taken by rows (the kernel is in range and the window fits
    // inside the image), and which columns are.
    bool RowInside(long y) const { return m_ok && y - m_k2 >= 0 && y - m_k2 + m_k - 1 < m_height; }
    long FirstX() const { return m_firstX; }
    long EndX() const { return m_endX; }

    // The results of columns x0 .. x1 - 1 (interior) of row y (RowInside), into
    // bytes x0 * step .. x1 * step - 1 of `row`; null: of a row of its own, which is
    // returned (valid until the next call).
    const uint8_t* Row(long y, long x0, long x1, uint8_t* row = nullptr) {
        const size_t begin = static_cast<size_t>(x0) * static_cast<size_t>(m_step);
        const size_t count = static_cast<size_t>(x1) * static_cast<size_t>(m_step) - begin;
        // Each tap's source starts at the byte that output byte `begin` reads.
        for (size_t t = 0; t < m_taps; ++t)
            m_tapSource[t] = Source(y + m_tapRow[t]) + static_cast<long>(begin) + m_tapShift[t];
        if (!row) row = m_out.get();
        uint8_t* out = row + begin;
        size_t i = 0;
#ifdef PX_FILTER_SSE2
        const __m128 divisor = _mm_set1_ps(m_divisor);
        const __m128i offset = _mm_set1_epi32(m_offset);
        const bool divide = m_divisor != 1.0f;
        for (; i + 16 <= count; i += 16) {
            __m128 s0 = _mm_setzero_ps(), s1 = _mm_setzero_ps(), s2 = _mm_setzero_ps(), s3 = _mm_setzero_ps();
            for (size_t t = 0; t < m_taps; ++t) {
                const float* p = m_tapSource[t] + i;
                const __m128 w = _mm_set1_ps(m_tapWeight[t]);
                s0 = _mm_add_ps(s0, _mm_mul_ps(w, _mm_loadu_ps(p)));
                s1 = _mm_add_ps(s1, _mm_mul_ps(w, _mm_loadu_ps(p + 4)));
                s2 = _mm_add_ps(s2, _mm_mul_ps(w, _mm_loadu_ps(p + 8)));
                s3 = _mm_add_ps(s3, _mm_mul_ps(w, _mm_loadu_ps(p + 12)));
            }
            if (divide) {
                s0 = _mm_div_ps(s0, divisor);
                s1 = _mm_div_ps(s1, divisor);
                s2 = _mm_div_ps(s2, divisor);
                s3 = _mm_div_ps(s3, divisor);
            }
            // Truncate, add the offset, and clamp to 0..255 by the two saturating packs.
            __m128i q0 = _mm_add_epi32(_mm_cvttps_epi32(s0), offset);
            __m128i q1 = _mm_add_epi32(_mm_cvttps_epi32(s1), offset);
            __m128i q2 = _mm_add_epi32(_mm_cvttps_epi32(s2), offset);
            __m128i q3 = _mm_add_epi32(_mm_cvttps_epi32(s3), offset);
            __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(q0, q1), _mm_packs_epi32(q2, q3));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), bytes);
        }
#endif
        for (; i < count; ++i) {
            float s = 0.0f;
            for (size_t t = 0; t < m_taps; ++t) s += m_tapWeight[t] * m_tapSource[t][i];
            if (m_divisor != 1.0f) s /= m_divisor;
            int32_t v = static_cast<int32_t>(s) + m_offset;
            out[i] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
        }
        return row;
    }

private:
    // Image row j as floats, converted once while it is in the window.
    const float* Source(long j) {
        const size_t slot = static_cast<size_t>(j % m_k);
        float* dst = m_rows.get() + slot * m_rowFloats;
        if (m_rowOf[slot] == j) return dst;
        m_rowOf[slot] = j;
        const uint8_t* src = m_pixels + static_cast<size_t>(j) * m_rowSize;
        size_t i = 0;
#ifdef PX_FILTER_SSE2
        const __m128i zero = _mm_setzero_si128();
        for (; i + 16 <= m_rowFloats; i += 16) {
            __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
            __m128i lo = _mm_unpacklo_epi8(b, zero), hi = _mm_unpackhi_epi8(b, zero);
            _mm_storeu_ps(dst + i, _mm_cvtepi32_ps(_mm_unpacklo_epi16(lo, zero)));
            _mm_storeu_ps(dst + i + 4, _mm_cvtepi32_ps(_mm_unpackhi_epi16(lo, zero)));
            _mm_storeu_ps(dst + i + 8, _mm_cvtepi32_ps(_mm_unpacklo_epi16(hi, zero)));
            _mm_storeu_ps(dst + i + 12, _mm_cvtepi32_ps(_mm_unpackhi_epi16(hi, zero)));
        }
#endif
        for (; i < m_rowFloats; ++i) dst[i] = static_cast<float>(src[i]);
        return dst;
    }

    bool m_ok = false;
    long m_k, m_k2, m_step, m_height;
    const uint8_t* m_pixels;
    size_t m_rowSize, m_rowFloats = 0;
    long m_firstX = 0, m_endX = 0;
    float m_divisor = 1.0f;
    int32_t m_offset = 0;
    size_t m_taps = 0;
    std::unique_ptr<float[]> m_rows;       // k rows of width * step floats
    std::unique_ptr<long[]> m_rowOf;       // image row held by each slot, -1 none
    std::unique_ptr<float[]> m_tapWeight;  // per non-zero tap: weight, row and byte offsets
    std::unique_ptr<long[]> m_tapRow;
    std::unique_ptr<long[]> m_tapShift;
    std::unique_ptr<const float*[]> m_tapSource;
    std::unique_ptr<uint8_t[]> m_out;
};

// Erode (mode 0), Dilate (1) and Edge (2) share the window walk.
bool MinMax(PxImage& self, long k, int mode) {
    if (!self.IsValid() || !WindowOk(k)) return false;
    PxImage work;
    if (!MakeWork(self, work)) return false;
    const long k2 = k / 2;
    ForEachWorkPixel(self, [&](long x, long y) {
        uint8_t lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
        for (long j = y - k2; j < y - k2 + k; ++j)
            for (long i = x - k2; i < x - k2 + k; ++i) {
                RGBQUAD c = self.GetPixelColor(i, j);
                uint8_t ch[3] = {c.rgbRed, c.rgbGreen, c.rgbBlue};
                for (int n = 0; n < 3; ++n) {
                    if (ch[n] < lo[n]) lo[n] = ch[n];
                    if (ch[n] > hi[n]) hi[n] = ch[n];
                }
            }
        RGBQUAD out = self.GetPixelColor(x, y);
        uint8_t* dst[3] = {&out.rgbRed, &out.rgbGreen, &out.rgbBlue};
        for (int n = 0; n < 3; ++n)
            *dst[n] = mode == 0 ? lo[n] : (mode == 1 ? hi[n] : static_cast<uint8_t>(255 - (hi[n] - lo[n])));
        work.SetPixelColor(x, y, out, false);
    });
    return self.Transfer(work);
}
}  // namespace

void PxImage::SeedRandom(uint32_t seed) { g_randomState = seed; }

int PxImage::Random15() {
    g_randomState = g_randomState * 214013u + 2531011u;
    return static_cast<int>((g_randomState >> 16) & 0x7FFF);
}

bool PxImage::Filter(const long* kernel, long kernelSize, long divisor, long offset) {
    if (!m_dib || !kernel || !WindowOk(kernelSize)) return false;
    PxImage work;
    if (!MakeWork(*this, work)) return false;
    const long k = kernelSize, k2 = k / 2;
    const long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    const bool grey = GetBpp() == 8 && IsGrayScale();
    // One pixel the slow way: 64-bit sums over GetPixelColor, which also gives the
    // window pixels outside the image. Grey pixels whose window leaves the image keep
    // their index.
    auto pixel = [&](long x, long y) {
        if (grey) {
            const int64_t div = divisor == 0 ? 1 : divisor;
            uint8_t v = BlindGetPixelIndex(x, y);
            if (x - k2 >= 0 && y - k2 >= 0 && x - k2 + k - 1 < w && y - k2 + k - 1 < h) {
                uint64_t sum = 0;
                long n = 0;
                for (long j = y - k2; j < y - k2 + k; ++j) {
                    const uint8_t* row = m_info.pixels + static_cast<size_t>(j) * m_info.rowSize;
                    for (long i = x - k2; i < x - k2 + k; ++i)
                        sum += static_cast<uint64_t>(row[i]) * static_cast<uint64_t>(static_cast<int64_t>(kernel[n++]));
                }
                v = ClampWide(Wrap(static_cast<uint64_t>(static_cast<int64_t>(offset)) +
                                   static_cast<uint64_t>(Divide(Wrap(sum), div))));
            }
            work.BlindSetPixelIndex(x, y, v);
            return;
        }
        uint64_t sr = 0, sg = 0, sb = 0;
        for (long dy = -k2; dy < k - k2; ++dy)
            for (long dx = -k2; dx < k - k2; ++dx) {
                RGBQUAD c = GetPixelColor(x + dx, y + dy);
                uint64_t kv = static_cast<uint64_t>(static_cast<int64_t>(kernel[(dx + k2) + k * (dy + k2)]));
                sr += kv * c.rgbRed;
                sg += kv * c.rgbGreen;
                sb += kv * c.rgbBlue;
            }
        auto channel = [&](uint64_t s) {
            int64_t q = divisor == 0 ? Wrap(s) : Divide(Wrap(s), divisor);
            return ClampWide(Wrap(static_cast<uint64_t>(static_cast<int64_t>(offset)) + static_cast<uint64_t>(q)));
        };
        RGBQUAD out = GetPixelColor(x, y);
        out.rgbRed = channel(sr);
        out.rgbGreen = channel(sg);
        out.rgbBlue = channel(sb);
        work.SetPixelColor(x, y, out, false);
    };
    auto pixels = [&](long y, long x0, long x1) { ForSelectedPixels(*this, y, x0, x1, pixel); };
    // 24-bit and grey rows: the interior by rows, the frame by pixels.
    const long step = grey ? 1 : (GetBpp() == 24 && !IsIndexed() ? 3 : 0);
    if (step == 0) {
        ForEachWorkRow(*this, pixels);
        return Transfer(work);
    }
    RowConvolver rows(kernel, k, divisor, offset, step, w, h, m_info.pixels, m_info.rowSize);
    ForEachWorkRow(*this, [&](long y, long left, long right) {
        const long x0 = left > rows.FirstX() ? left : rows.FirstX();
        const long x1 = right < rows.EndX() ? right : rows.EndX();
        if (!rows.RowInside(y) || x0 >= x1) {
            pixels(y, left, right);
            return;
        }
        pixels(y, left, x0);
        uint8_t* dst = work.m_info.pixels + static_cast<size_t>(y) * work.m_info.rowSize;
        if (!m_selection) {
            rows.Row(y, x0, x1, dst);
        } else {
            const uint8_t* result = rows.Row(y, x0, x1);
            const uint8_t* mask = m_selection + static_cast<size_t>(y) * static_cast<size_t>(w);
            const size_t s = static_cast<size_t>(step);
            for (long x = x0; x < x1; ++x)
                if (mask[x]) std::memcpy(dst + x * s, result + x * s, s);
        }
        pixels(y, x1, right);
    });
    return Transfer(work);
}

bool PxImage::Erode(long kernelSize) { return MinMax(*this, kernelSize, 0); }
bool PxImage::Dilate(long kernelSize) { return MinMax(*this, kernelSize, 1); }
bool PxImage::Edge(long kernelSize) { return MinMax(*this, kernelSize, 2); }

bool PxImage::Median(long kernelSize) {
    if (!m_dib || !WindowOk(kernelSize)) return false;
    const long k = kernelSize, k2 = k / 2, count = k * k;
    RGBQUAD* window = new (std::nothrow) RGBQUAD[static_cast<size_t>(count)];
    if (!window) return false;
    PxImage work;
    if (!MakeWork(*this, work)) {
        delete[] window;
        return false;
    }
    ForEachWorkPixel(*this, [&](long x, long y) {
        long n = 0;
        for (long j = y - k2; j < y - k2 + k; ++j)
            for (long i = x - k2; i < x - k2 + k; ++i) window[n++] = GetPixelColor(i, j);
        std::qsort(window, static_cast<size_t>(count), sizeof(RGBQUAD), CompareForSort);
        work.SetPixelColor(x, y, window[count / 2], false);
    });
    delete[] window;
    return Transfer(work);
}

bool PxImage::Contour() {
    if (!m_dib) return false;
    PxImage work;
    if (!MakeWork(*this, work)) return false;
    ForEachWorkPixel(*this, [&](long x, long y) {
        RGBQUAD c = GetPixelColor(x, y);
        long m[3] = {0, 0, 0};
        const long cv[3] = {c.rgbRed, c.rgbGreen, c.rgbBlue};
        for (long dx = -1; dx <= 1; ++dx)
            for (long dy = -1; dy <= 1; ++dy) {
                RGBQUAD n = GetPixelColor(x + dx, y + dy);
                const long nv[3] = {n.rgbRed, n.rgbGreen, n.rgbBlue};
                // The neighbour's value is kept, not the difference.
                for (int ch = 0; ch < 3; ++ch)
                    if (nv[ch] - cv[ch] > m[ch]) m[ch] = nv[ch];
            }
        c.rgbRed = static_cast<uint8_t>(255 - m[0]);
        c.rgbGreen = static_cast<uint8_t>(255 - m[1]);
        c.rgbBlue = static_cast<uint8_t>(255 - m[2]);
        work.SetPixelColor(x, y, c, false);
    });
    return Transfer(work);
}

bool PxImage::Jitter(long radius) {
    if (!m_dib) return false;
    PxImage work;
    if (!MakeWork(*this, work)) return false;
    // The displacement never needs to exceed the image; a wider radius only
    // risks overflowing the conversion.
    const float r = static_cast<float>(pxops::Clamp(radius, -pxops::kMaxSide, pxops::kMaxSide));
    ForEachWorkPixel(*this, [&](long x, long y) {
        float f1 = (static_cast<float>(Random15()) / 32767.0f - 0.5f) * 2.0f * r;
        float f2 = (static_cast<float>(Random15()) / 32767.0f - 0.5f) * 2.0f * r;
        long nx = x + static_cast<long>(f1), ny = y + static_cast<long>(f2);
        if (!IsInside(nx, ny)) {
            nx = x;
            ny = y;
        }
        if (IsIndexed())
            work.SetPixelIndex(x, y, BlindGetPixelIndex(nx, ny));
        else
            work.SetPixelColor(x, y, BlindGetPixelColor(nx, ny), false);
        if (m_alpha) work.AlphaSet(x, y, BlindAlphaGet(nx, ny));
    });
    return Transfer(work);
}

bool PxImage::Noise(long level) {
    if (!m_dib) return false;
    // Works in place; beyond +-1000 every channel is pushed to 0 or 255 anyway.
    const float lv = static_cast<float>(pxops::Clamp(level, -1000, 1000));
    auto shift = [&](uint8_t v) {
        long d = static_cast<long>((static_cast<float>(Random15()) / 32767.0f - 0.5f) * lv);
        return ClampByte(static_cast<long>(v) + d);
    };
    pxops::WorkArea a = pxops::GetWorkArea(*this);
    for (long y = a.bottom; y < a.top; ++y) {
        m_info.progress = pxops::Percent(y - a.bottom, a.top - a.bottom);
        for (long x = a.left; x < a.right; ++x) {
            if (!SelectionIsInside(x, y)) continue;
            RGBQUAD c = BlindGetPixelColor(x, y);
            c.rgbRed = shift(c.rgbRed);
            c.rgbGreen = shift(c.rgbGreen);
            c.rgbBlue = shift(c.rgbBlue);
            SetPixelColor(x, y, c, false);
        }
    }
    return true;
}
