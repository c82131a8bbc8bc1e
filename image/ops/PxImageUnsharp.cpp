// The Gaussian unsharp mask (a separable blur by rows and columns, merged with
// the source) and the curvature-driven repair of colour channels.
#include <cmath>
#include <cstdint>
#include <new>

#include "image/ImageIterator.h"
#include "image/PxImage.h"
#include "image/ops/PxOpsSupport.h"

namespace {
uint8_t RoundByte(float v) {
    v += 0.5f;
    if (!(v > 0.0f)) return 0;
    if (v >= 255.0f) return 255;
    return static_cast<uint8_t>(static_cast<long>(v));
}

uint8_t TruncClamp(float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 255.0f) return 255;
    return static_cast<uint8_t>(static_cast<long>(v));
}
}  // namespace

int PxImage::gen_convolve_matrix(float radius, float** matrix) {
    *matrix = nullptr;
    const float s = std::fabs(radius) + 1.0f;
    const float R = 2.0f * s;
    long n = static_cast<long>(2.0f * std::ceil(R - 0.5f) + 1.0f);
    if (n < 1) n = 1;
    float* m = new (std::nothrow) float[static_cast<size_t>(n)];
    if (!m) return 0;
    const float twoS2 = 2.0f * s * s;
    for (long i = n / 2 + 1; i < n; ++i) {
        const float base = static_cast<float>(i - n / 2) - 0.5f;
        float sum = 0.0f;
        for (int j = 1; j <= 50; ++j) {
            const float t = base + 0.02f * static_cast<float>(j);
            if (t <= R) sum += std::exp(-(t * t) / twoS2);
        }
        m[i] = sum / 50.0f;
    }
    for (long i = 0; i <= n / 2; ++i) m[i] = m[n - 1 - i];
    float centre = 0.0f;
    for (int j = 0; j <= 50; ++j) {
        const float t = 0.5f + 0.02f * static_cast<float>(j);
        centre += std::exp(-(t * t) / twoS2);
    }
    m[n / 2] = centre / 51.0f;
    float total = 0.0f;
    for (long i = 0; i < n; ++i) total += m[i];
    for (long i = 0; i < n; ++i) m[i] /= total;
    *matrix = m;
    return static_cast<int>(n);
}

float* PxImage::gen_lookup_table(const float* matrix, int length) {
    float* table = new (std::nothrow) float[static_cast<size_t>(length) * 256];
    if (!table) return nullptr;
    for (int i = 0; i < length; ++i)
        for (int v = 0; v < 256; ++v) table[i * 256 + v] = static_cast<float>(v) * matrix[i];
    return table;
}

void PxImage::blur_line(const float* table, const float* matrix, int length, const uint8_t* src, uint8_t* dst,
                        int lineLength, long bytesPerPixel) {
    const int n = length, m = n / 2, y = lineLength;
    const long b = bytesPerPixel;
    if (n > y) {
        // Shorter than the matrix: each pixel weighs what lies on the line.
        for (int r = 0; r < y; ++r)
            for (long i = 0; i < b; ++i) {
                float scale = 0.0f, sum = 0.0f;
                for (int j = 0; j < y; ++j) {
                    int t = j + m - r;
                    if (t < 0 || t >= n) continue;
                    scale += matrix[t];
                    sum += src[j * b + i] * matrix[t];
                }
                dst[r * b + i] = RoundByte(sum / scale);
            }
        return;
    }
    for (int r = 0; r < m; ++r)  // head
        for (long i = 0; i < b; ++i) {
            float scale = 0.0f, sum = 0.0f;
            for (int j = m - r; j < n; ++j) {
                scale += matrix[j];
                sum += src[(r + j - m) * b + i] * matrix[j];
            }
            dst[r * b + i] = RoundByte(sum / scale);
        }
    for (int r = m; r < y - m; ++r)  // middle, by table
        for (long i = 0; i < b; ++i) {
            float sum = 0.0f;
            for (int j = 0; j < n; ++j) sum += table[j * 256 + src[(r - m + j) * b + i]];
            dst[r * b + i] = RoundByte(sum);
        }
    for (int r = y - m > m ? y - m : m; r < y; ++r)  // tail
        for (long i = 0; i < b; ++i) {
            float scale = 0.0f, sum = 0.0f;
            for (int j = 0; j < y - r + m; ++j) {
                scale += matrix[j];
                sum += src[(r + j - m) * b + i] * matrix[j];
            }
            dst[r * b + i] = RoundByte(sum / scale);
        }
}

bool PxImage::UnsharpMask(float radius, float amount, int threshold) {
    if (!m_dib) return false;
    // 1- and 4-bit images have no byte columns to blur.
    if (!(GetBpp() == 24 || (GetBpp() == 8 && IsGrayScale()))) return false;
    if (!(std::fabs(radius) <= kMaxBlurRadius)) return false;  // also NaN
    if (!std::isfinite(amount)) return false;
    PxImage work(*this, true, true, true);
    if (!work.IsValid()) return false;
    const long b = GetBpp() / 8;
    const long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());

    float* matrix = nullptr;
    const int n = gen_convolve_matrix(radius, &matrix);
    float* table = matrix ? gen_lookup_table(matrix, n) : nullptr;
    uint8_t* cur = new (std::nothrow) uint8_t[static_cast<size_t>(h * b)];
    uint8_t* blurred = new (std::nothrow) uint8_t[static_cast<size_t>(h * b)];
    const bool ok = matrix && table && cur && blurred;
    if (ok) {
        for (long y = 0; y < h && !m_info.escape; ++y) {
            m_info.progress = static_cast<int32_t>(static_cast<float>(y) * 33.3f / static_cast<float>(h));
            blur_line(table, matrix, n, GetBits(static_cast<uint32_t>(y)), work.GetBits(static_cast<uint32_t>(y)),
                      static_cast<int>(w), b);
        }
        CImageIterator it(&work);
        for (long x = 0; x < w && !m_info.escape; ++x) {
            m_info.progress = static_cast<int32_t>(33.3f + static_cast<float>(x) * 33.3f / static_cast<float>(w));
            it.GetCol(cur, static_cast<uint32_t>(x));
            it.GetCol(blurred, static_cast<uint32_t>(x));
            blur_line(table, matrix, n, cur, blurred, static_cast<int>(h), b);
            it.SetCol(blurred, static_cast<uint32_t>(x));
        }
        const float amt = amount;
        for (long y = 0; y < h && !m_info.escape; ++y) {
            m_info.progress = static_cast<int32_t>(66.6f + static_cast<float>(y) * 33.3f / static_cast<float>(h));
            const uint8_t* s = GetBits(static_cast<uint32_t>(y));
            uint8_t* d = work.GetBits(static_cast<uint32_t>(y));
            for (long x = 0; x < w; ++x) {
                // With a mask only the selected pixels are sharpened.
                const bool chosen = !m_selection || SelectionIsInside(x, y);
                for (long i = x * b; i < (x + 1) * b; ++i) {
                    if (!chosen) {
                        d[i] = s[i];
                        continue;
                    }
                    long diff = static_cast<long>(s[i]) - static_cast<long>(d[i]);
                    if (std::labs(2 * diff) < threshold) diff = 0;
                    d[i] = TruncClamp(static_cast<float>(s[i]) + amt * static_cast<float>(diff));
                }
            }
        }
    }
    delete[] matrix;
    delete[] table;
    delete[] cur;
    delete[] blurred;
    if (!ok) return false;
    return Transfer(work);
}

bool PxImage::RepairChannel(PxImage* channel, float radius) {
    if (!channel || !channel->IsValid()) return false;
    PxImage work(*channel, true, true, true);
    if (!work.IsValid()) return false;
    const long w = static_cast<long>(channel->GetWidth()), h = static_cast<long>(channel->GetHeight());
    auto v = [&](long x, long y) { return static_cast<float>(channel->GetPixelIndex(x, y)); };
    for (long y = 1; y < h - 1; ++y)
        for (long x = 1; x < w - 1; ++x) {
            const float ix = (v(x + 1, y) - v(x - 1, y)) * 0.5f;
            const float iy = (v(x, y + 1) - v(x, y - 1)) * 0.5f;
            const float ixx = v(x + 1, y) - 2.0f * v(x, y) + v(x - 1, y);
            const float iyy = v(x, y + 1) - 2.0f * v(x, y) + v(x, y - 1);
            const float ixy = (v(x + 1, y + 1) - v(x - 1, y + 1) - v(x + 1, y - 1) + v(x - 1, y - 1)) * 0.25f;
            const float num = (1.0f + iy * iy) * ixx - ix * iy * ixy + (1.0f + ix * ix) * iyy;
            const float correction = num / (1.0f + ix * ix + iy * iy);
            work.SetPixelIndex(x, y, TruncClamp(v(x, y) + radius * correction));
        }
    return channel->Transfer(work);
}

bool PxImage::Repair(float radius, long iterations, long colorSpace) {
    if (!m_dib) return false;
    const uint32_t w = GetWidth(), h = GetHeight();
    PxImage c1(w, h, 8, PxFormatUnknown), c2(w, h, 8, PxFormatUnknown), c3(w, h, 8, PxFormatUnknown);
    bool ok;
    switch (colorSpace) {
        case 1: ok = SplitHSL(&c1, &c2, &c3); break;
        case 2: ok = SplitYUV(&c1, &c2, &c3); break;
        case 3: ok = SplitYIQ(&c1, &c2, &c3); break;
        case 4: ok = SplitXYZ(&c1, &c2, &c3); break;
        default: ok = SplitRGB(&c1, &c2, &c3); break;
    }
    if (!ok) return false;
    for (long i = 0; i < iterations && !m_info.escape; ++i) {
        m_info.progress = pxops::Percent(i, iterations);
        if (!RepairChannel(&c1, radius) || !RepairChannel(&c2, radius) || !RepairChannel(&c3, radius)) return false;
    }
    PxImage alpha;
    const bool withAlpha = m_alpha && AlphaSplit(&alpha);
    return Combine(&c1, &c2, &c3, withAlpha ? &alpha : nullptr, colorSpace);
}
