// Neighbourhood filters: integer convolution, erosion, dilation, edge strength,
// median, contour, random displacement and noise. A square window of size k
// around (x, y) covers x - k/2 ... x - k/2 + k - 1 (the same for y), so an even
// window reaches one further down and left; window pixels outside the image read
// as GetPixelColor gives them.
#include <cstdint>
#include <cstdlib>
#include <new>

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

// Calls f(x, y) for every pixel of the work area, row by row, reporting progress
// and stopping when the escape field is set.
template <typename F>
void ForEachWorkPixel(PxImage& image, F f) {
    pxops::WorkArea a = pxops::GetWorkArea(image);
    for (long y = a.bottom; y < a.top; ++y) {
        image.SetProgress(pxops::Percent(y - a.bottom, a.top - a.bottom));
        if (image.GetEscape()) break;
        for (long x = a.left; x < a.right; ++x)
            if (image.SelectionIsInside(x, y)) f(x, y);
    }
}

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
    if (GetBpp() == 8 && IsGrayScale()) {
        const int64_t div = divisor == 0 ? 1 : divisor;
        ForEachWorkPixel(*this, [&](long x, long y) {
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
        });
        return Transfer(work);
    }
    ForEachWorkPixel(*this, [&](long x, long y) {
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
