// Fuzz target: image operations with arbitrary parameters on small images of
// every depth, with and without alpha, mask and transparent index.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "image/PxImage.h"

namespace {
struct Reader {
    const uint8_t* p;
    size_t n;
    uint8_t Byte() {
        if (!n) return 0;
        --n;
        return *p++;
    }
    long Long() {  // small and negative values are the interesting ones
        int16_t v = static_cast<int16_t>(Byte() | (Byte() << 8));
        return v;
    }
    float Float() { return static_cast<float>(Long()) / 16.0f; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool limited = (PxImage::SetMaxImageBytes(16u << 20), true);
    (void)limited;
    Reader in{data, size};
    static const uint32_t kBits[] = {1, 4, 8, 24};
    uint32_t bits = kBits[in.Byte() & 3];
    uint32_t w = 1 + in.Byte() % 40, h = 1 + in.Byte() % 40;
    PxImage im;
    if (!im.Create(w, h, bits)) return 0;
    uint8_t flags = in.Byte();
    if (bits < 24) im.SetStdPalette();
    for (uint32_t i = 0; i < im.GetHeader().biSizeImage && in.n; ++i) im.GetBits()[i] = in.Byte();
    if (flags & 1) im.AlphaCreate();
    if (flags & 2) {
        RECT r;
        r.left = static_cast<LONG>(in.Long() % 50);
        r.top = static_cast<LONG>(in.Long() % 50);
        r.right = static_cast<LONG>(in.Long() % 50);
        r.bottom = static_cast<LONG>(in.Long() % 50);
        im.SelectionAddRect(r);
    }
    if (flags & 4) im.SetTransIndex(in.Byte());
    RGBQUAD c = {in.Byte(), in.Byte(), in.Byte(), in.Byte()};
    PxImage other(im);
    for (int step = 0; step < 4 && in.n; ++step) {
        long a = in.Long(), b = in.Long();
        switch (in.Byte() % 38) {
            case 0: im.Crop(a, b, in.Long(), in.Long()); break;
            case 1: im.Flip(); break;
            case 2: im.Mirror(); break;
            case 3: im.RotateLeft(); break;
            case 4: im.RotateRight(); break;
            case 5: im.Rotate180(); break;
            case 6: im.Expand(a % 64, b % 64, in.Long() % 64, in.Long() % 64, c); break;
            case 7: im.Thumbnail(a % 80, b % 80, c); break;
            case 8: im.GrayScale(); break;
            case 9: im.Negative(); break;
            case 10: im.Threshold(static_cast<uint8_t>(a)); break;
            case 11: im.DecreaseBpp(static_cast<uint32_t>(a & 31), b & 1); break;
            case 12: im.IncreaseBpp(static_cast<uint32_t>(a & 31)); break;
            case 13: im.Dither(a % 9); break;
            case 14: im.Light(a, b); break;
            case 15: im.Gamma(in.Float()); break;
            case 16: im.ShiftRGB(a, b, in.Long()); break;
            case 17: im.Mean(); break;
            case 18: im.Mix(other, static_cast<PxImage::ImageOpType>(a % 12), b % 50, in.Long() % 50, a & 1); break;
            case 19: im.Resample(a % 90, b % 90, static_cast<int>(in.Byte() % 4)); break;
            case 20:
                im.Resample2(a % 90, b % 90, static_cast<PxImage::InterpolationMethod>(in.Byte() % 18),
                             static_cast<PxImage::OverflowMethod>(in.Byte() % 8), nullptr, in.Byte() & 1);
                break;
            case 21: im.QIShrink(a % 50, b % 50); break;
            case 22:
                im.GetPixelColorInterpolated(in.Float(), in.Float(), static_cast<PxImage::InterpolationMethod>(a % 18),
                                             static_cast<PxImage::OverflowMethod>(b % 8), &c);
                im.GetAreaColorInterpolated(in.Float(), in.Float(), in.Float(), in.Float(),
                                            static_cast<PxImage::InterpolationMethod>(a % 18),
                                            static_cast<PxImage::OverflowMethod>(b % 8), nullptr);
                break;
            // Neighbourhood filters (windows kept small: their cost grows with k^2).
            case 24: {
                long kernel[25];
                for (long& v : kernel) v = in.Long();
                im.Filter(kernel, 1 + (a & 3), b, in.Long());
                break;
            }
            case 25: im.Erode(a % 6); break;
            case 26: im.Dilate(a % 6); break;
            case 27: im.Edge(a % 6); break;
            case 28: im.Median(a % 6); break;
            case 29: im.Contour(); break;
            case 30:
                PxImage::SeedRandom(static_cast<uint32_t>(b));
                if (a & 1) im.Jitter(a % 50); else im.Noise(a);
                break;
            case 31: im.UnsharpMask(static_cast<float>(a % 20) / 4.0f, in.Float(), static_cast<int>(b)); break;
            case 32: im.Repair(in.Float(), a % 3, b % 6); break;
            // Colour spaces and channels.
            case 33: {
                PxImage c1, c2, c3, c4;
                switch (a & 7) {
                    case 0: im.SplitRGB(&c1, (b & 1) ? &c2 : nullptr, &c3); break;
                    case 1: im.SplitHSL(&c1, &c2, &c3); break;
                    case 2: im.SplitYUV(&c1, &c2, &c3); break;
                    case 3: im.SplitYIQ(&c1, &c2, &c3); break;
                    case 4: im.SplitXYZ(&c1, &c2, &c3); break;
                    default: im.SplitCMYK(&c1, &c2, &c3, &c4); break;
                }
                if (c1.IsValid()) im.Combine(&c1, (b & 1) ? &c2 : &other, &c3, (b & 2) ? &other : nullptr, b % 6);
                break;
            }
            case 34:
                im.Colorize(static_cast<uint8_t>(a), static_cast<uint8_t>(b), in.Float());
                im.HuePalette(in.Float());
                break;
            // Fourier transform: sizes stay small, the direct transform is quadratic.
            case 35: {
                PxImage re, imag;
                if (im.GetWidth() <= 48 && im.GetHeight() <= 48)
                    im.FFT2(&im, (a & 1) ? &other : nullptr, (a & 2) ? &re : nullptr, (a & 4) ? &imag : nullptr,
                            (a & 8) ? 1 : -1, a & 16, a & 32);
                break;
            }
            // Free rotation and distortions.
            case 36: {
                PxImage out;
                if (a & 1)
                    im.Rotate(in.Float(), (a & 2) ? &out : nullptr);
                else
                    im.Rotate2(in.Float(), (a & 2) ? &out : nullptr, static_cast<PxImage::InterpolationMethod>(b % 18),
                               static_cast<PxImage::OverflowMethod>(in.Byte() % 8), (a & 4) ? &c : nullptr, a & 8,
                               a & 16);
                break;
            }
            case 37:
                switch (a & 3) {
                    case 0: im.CropRotatedRectangle(b % 50, in.Long() % 50, in.Long() % 50, in.Long() % 50, in.Float()); break;
                    case 1: im.Skew(in.Float(), in.Float(), b % 50, in.Long() % 50, a & 4); break;
                    default: im.CircleTransform(b % 7, in.Long() % 60, in.Float()); break;
                }
                break;
            default: {
                long aw = 1 + (a & 31), ah = 1 + (b & 31);
                long rowBytes = ((aw * 3) + 3) & ~3L;
                uint8_t area[32 * 32 * 3 + 32 * 4];
                std::memset(area, 0, sizeof(area));
                im.CompositeInto(area, rowBytes, in.Long() % 40, in.Long() % 40, aw, ah, in.Long() % 40,
                                 in.Long() % 40, in.Long() % 90, in.Long() % 90, in.Byte() & 1, in.Byte() & 1);
                break;
            }
        }
    }
    return 0;
}
