// Two-dimensional discrete Fourier transform of grey images. The real and the
// imaginary part each travel in an 8-bit grey image: a value v is read as index
// v + 128 and written as 128 + gain x v.
#include <cmath>
#include <cstdint>
#include <new>

#include "image/PxImage.h"
#include "image/ops/PxOpsSupport.h"

namespace {
// Pi as the transform has always used it: the float nearest to pi.
const double kPi = static_cast<double>(3.1415927f);

long long NextPowerOf2(long long v) {
    long long p = 1;
    while (p < v) p <<= 1;
    return p;
}

int Log2(long long v) {
    int m = 0;
    while ((1LL << m) < v) ++m;
    return m;
}

// The input image of one part: a grey copy of the source resized to w x h, or,
// without a source, a w x h image of value 0 (index 128).
bool PrepareInput(const PxImage* source, PxImage& in, long w, long h) {
    if (source) {
        if (!source->IsValid()) return false;
        in.Copy(*source, true, false, false);
        if (!in.IsValid()) return false;
        if (!in.IsGrayScale() && !in.GrayScale()) return false;
        return in.Resample(w, h, 0);
    }
    if (!in.Create(static_cast<uint32_t>(w), static_cast<uint32_t>(h), 8, PxFormatUnknown)) return false;
    in.SetGrayPalette();
    in.Clear(128);
    return true;
}

uint8_t ToIndex(double v) {
    if (!(v > 0.0)) return 0;  // also NaN
    if (v >= 255.0) return 255;
    return static_cast<uint8_t>(static_cast<long>(v));
}
}  // namespace

bool PxImage::IsPowerof2(long v) { return v > 0 && (v & (v - 1)) == 0; }

bool PxImage::FFT(int direction, int m, double* x, double* y) {
    long n = 1L << m;
    // Bit-reversal reordering.
    long j = 0;
    for (long i = 0; i < n - 1; ++i) {
        if (i < j) {
            double tx = x[i], ty = y[i];
            x[i] = x[j];
            y[i] = y[j];
            x[j] = tx;
            y[j] = ty;
        }
        long k = n >> 1;
        while (k <= j) {
            j -= k;
            k >>= 1;
        }
        j += k;
    }
    double c1 = -1.0, c2 = 0.0;
    long l2 = 1;
    for (int l = 0; l < m; ++l) {
        long l1 = l2;
        l2 <<= 1;
        double u1 = 1.0, u2 = 0.0;
        for (j = 0; j < l1; ++j) {
            for (long i = j; i < n; i += l2) {
                long i1 = i + l1;
                double t1 = u1 * x[i1] - u2 * y[i1];
                double t2 = u1 * y[i1] + u2 * x[i1];
                x[i1] = x[i] - t1;
                y[i1] = y[i] - t2;
                x[i] += t1;
                y[i] += t2;
            }
            double z = u1 * c1 - u2 * c2;
            u2 = u1 * c2 + u2 * c1;
            u1 = z;
        }
        c2 = std::sqrt((1.0 - c1) / 2.0);
        if (direction == 1) c2 = -c2;
        c1 = std::sqrt((1.0 + c1) / 2.0);
    }
    if (direction == 1) {
        for (long i = 0; i < n; ++i) {
            x[i] /= static_cast<double>(n);
            y[i] /= static_cast<double>(n);
        }
    }
    return true;
}

bool PxImage::DFT(int direction, long n, double* x1, double* y1, double* x2, double* y2) {
    for (long i = 0; i < n; ++i) {
        double a = -direction * 2.0 * kPi * static_cast<double>(i) / static_cast<double>(n);
        double sx = 0.0, sy = 0.0;
        for (long k = 0; k < n; ++k) {
            double ca = std::cos(static_cast<double>(k) * a), sa = std::sin(static_cast<double>(k) * a);
            sx += x1[k] * ca - y1[k] * sa;
            sy += x1[k] * sa + y1[k] * ca;
        }
        x2[i] = sx;
        y2[i] = sy;
    }
    for (long i = 0; i < n; ++i) {
        if (direction == 1) {
            x1[i] = x2[i] / static_cast<double>(n);
            y1[i] = y2[i] / static_cast<double>(n);
        } else {
            x1[i] = x2[i];
            y1[i] = y2[i];
        }
    }
    return true;
}

bool PxImage::FFT2(PxImage* srcReal, PxImage* srcImag, PxImage* dstReal, PxImage* dstImag, long direction,
                   bool forcePowerOf2, bool magnitude) {
    if (!srcReal && !srcImag) return false;
    const PxImage* sizer = srcReal ? srcReal : srcImag;
    if (!sizer->IsValid()) return false;
    long long w = sizer->GetWidth(), h = sizer->GetHeight();
    bool px = IsPowerof2(static_cast<long>(w)), py = IsPowerof2(static_cast<long>(h));
    if (forcePowerOf2 && !(px && py)) {
        w = NextPowerOf2(w);
        h = NextPowerOf2(h);
        px = py = true;
    }
    if (!pxops::SizeOk(w, h)) return false;
    const int dir = direction == 1 ? 1 : -1;

    // Inputs are prepared aside: on failure no image has changed, and a missing
    // source reads as zero whether or not its destination is given.
    PxImage inR, inI;
    if (!PrepareInput(srcReal, inR, static_cast<long>(w), static_cast<long>(h)) ||
        !PrepareInput(srcImag, inI, static_cast<long>(w), static_cast<long>(h)))
        return false;

    const uint64_t cells = static_cast<uint64_t>(w) * static_cast<uint64_t>(h);
    if (cells > SIZE_MAX / (2 * sizeof(double))) return false;
    const long long side = w > h ? w : h;
    double* gridR = new (std::nothrow) double[static_cast<size_t>(cells)];
    double* gridI = new (std::nothrow) double[static_cast<size_t>(cells)];
    double* scratch = new (std::nothrow) double[static_cast<size_t>(side) * 4];
    // The results are 8-bit grey images of the transform's size.
    PxImage outR, outI;
    bool ok = gridR && gridI && scratch;
    for (PxImage* out : {&outR, &outI}) {
        if (ok && out->Create(static_cast<uint32_t>(w), static_cast<uint32_t>(h), 8, PxFormatUnknown))
            out->SetGrayPalette();
        else
            ok = false;
    }
    if (ok) {
        double* ax = scratch;
        double* ay = scratch + side;
        double* bx = scratch + 2 * side;
        double* by = scratch + 3 * side;
        for (long long y = 0; y < h; ++y)
            for (long long x = 0; x < w; ++x) {
                gridR[y * w + x] = static_cast<double>(inR.GetPixelIndex(static_cast<long>(x), static_cast<long>(y))) - 128.0;
                gridI[y * w + x] = static_cast<double>(inI.GetPixelIndex(static_cast<long>(x), static_cast<long>(y))) - 128.0;
            }
        for (long long y = 0; y < h; ++y) {
            for (long long x = 0; x < w; ++x) {
                ax[x] = gridR[y * w + x];
                ay[x] = gridI[y * w + x];
            }
            if (px)
                FFT(dir, Log2(w), ax, ay);
            else
                DFT(dir, static_cast<long>(w), ax, ay, bx, by);
            for (long long x = 0; x < w; ++x) {
                gridR[y * w + x] = ax[x];
                gridI[y * w + x] = ay[x];
            }
        }
        for (long long x = 0; x < w; ++x) {
            for (long long y = 0; y < h; ++y) {
                ax[y] = gridR[y * w + x];
                ay[y] = gridI[y * w + x];
            }
            if (py)
                FFT(dir, Log2(h), ax, ay);
            else
                DFT(dir, static_cast<long>(h), ax, ay, bx, by);
            for (long long y = 0; y < h; ++y) {
                gridR[y * w + x] = ax[y];
                gridI[y * w + x] = ay[y];
            }
        }

        double g = std::pow(2.0, std::log(static_cast<double>(side)) / std::log(2.0) - 4.0);
        if (dir == -1) g = 1.0 / g;
        if (magnitude) g *= 4.0;
        for (long long y = 0; y < h; ++y)
            for (long long x = 0; x < w; ++x) {
                double re = gridR[y * w + x], im = gridI[y * w + x];
                uint8_t vr, vi;
                if (magnitude) {
                    vr = ToIndex(g * (3.0 + std::log(std::sqrt(re * re + im * im))));
                    vi = ToIndex(128.0 + g * std::atan(im / (re == 0.0 ? 1e-10 : re)));
                } else {
                    vr = ToIndex(128.0 + g * re);
                    vi = ToIndex(128.0 + g * im);
                }
                outR.BlindSetPixelIndex(static_cast<long>(x), static_cast<long>(y), vr);
                outI.BlindSetPixelIndex(static_cast<long>(x), static_cast<long>(y), vi);
            }
    }
    delete[] gridR;
    delete[] gridI;
    delete[] scratch;
    if (!ok) return false;
    PxImage* toR = dstReal ? dstReal : srcReal;
    PxImage* toI = dstImag ? dstImag : srcImag;
    if (toR) toR->Transfer(outR);
    if (toI) toI->Transfer(outI);
    return true;
}
