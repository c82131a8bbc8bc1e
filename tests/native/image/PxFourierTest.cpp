// The one-dimensional transforms and FFT2 on grey images with known spectra.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "OpsTestSupport.h"
#include "image/PxImage.h"

namespace {
struct Fourier : PxImage {
    using PxImage::DFT;
    using PxImage::FFT;
    using PxImage::IsPowerof2;
};

// A w x h 8-bit grey image whose index at (x, y) is f(x, y).
template <typename F>
void GreyImage(PxImage& im, uint32_t w, uint32_t h, F f) {
    im.Create(w, h, 8, PxFormatUnknown);
    im.SetGrayPalette();
    for (long y = 0; y < static_cast<long>(h); ++y)
        for (long x = 0; x < static_cast<long>(w); ++x) im.SetPixelIndex(x, y, static_cast<uint8_t>(f(x, y)));
}

// Every index is `want` except the listed (x, y, value) cells; within 1 (truncation).
::testing::AssertionResult Spectrum(const PxImage& im, int want, std::vector<std::array<int, 3>> peaks = {}) {
    for (long y = 0; y < static_cast<long>(im.GetHeight()); ++y)
        for (long x = 0; x < static_cast<long>(im.GetWidth()); ++x) {
            int expect = want;
            for (auto& p : peaks)
                if (p[0] == x && p[1] == y) expect = p[2];
            int got = im.GetPixelIndex(x, y);
            if (std::abs(got - expect) > 1)
                return ::testing::AssertionFailure() << "(" << x << "," << y << ") is " << got << ", want " << expect;
        }
    return ::testing::AssertionSuccess();
}
}  // namespace

TEST(PxFourier, IsPowerof2) {
    struct {
        long v;
        bool want;
    } cases[] = {{1, true}, {2, true}, {256, true}, {1L << 30, true}, {0, false}, {3, false}, {-4, false}, {6, false}};
    for (auto& c : cases) EXPECT_EQ(Fourier::IsPowerof2(c.v), c.want) << c.v;
}

TEST(PxFourier, KnownSignalsAndRoundTrip) {
    const double pi = std::acos(-1.0);
    const int n = 16;
    // A constant: everything lands in bin 0 (the forward direction divides by n).
    std::vector<double> x(n, 5.0), y(n, 0.0);
    Fourier::FFT(1, 4, x.data(), y.data());
    for (int i = 0; i < n; ++i) {
        EXPECT_NEAR(x[i], i == 0 ? 5.0 : 0.0, 1e-12) << i;
        EXPECT_NEAR(y[i], 0.0, 1e-12) << i;
    }
    // cos(2 pi 3 k / n): half in bin 3, half in bin n - 3.
    for (int k = 0; k < n; ++k) {
        x[k] = std::cos(2 * pi * 3 * k / n);
        y[k] = 0.0;
    }
    Fourier::FFT(1, 4, x.data(), y.data());
    for (int i = 0; i < n; ++i) EXPECT_NEAR(x[i], (i == 3 || i == n - 3) ? 0.5 : 0.0, 1e-6) << i;

    // Forward then inverse gives the input back.
    std::vector<double> a(n), b(n);
    std::srand(7);
    for (int i = 0; i < n; ++i) {
        a[i] = std::rand() % 1000 - 500;
        b[i] = std::rand() % 1000 - 500;
    }
    std::vector<double> ra = a, rb = b;
    Fourier::FFT(1, 4, ra.data(), rb.data());
    Fourier::FFT(-1, 4, ra.data(), rb.data());
    for (int i = 0; i < n; ++i) {
        EXPECT_NEAR(ra[i], a[i], 1e-9);
        EXPECT_NEAR(rb[i], b[i], 1e-9);
    }

    // FFT and the direct transform agree, in both directions (the direct one
    // uses pi rounded to float, so the values are kept near 1).
    for (int dir : {1, -1}) {
        std::vector<double> fx(8), fy(8);
        for (int i = 0; i < 8; ++i) {
            fx[i] = a[i] / 500.0;
            fy[i] = b[i] / 500.0;
        }
        std::vector<double> dx = fx, dy = fy, sx(8), sy(8);
        Fourier::FFT(dir, 3, fx.data(), fy.data());
        Fourier::DFT(dir, 8, dx.data(), dy.data(), sx.data(), sy.data());
        for (int i = 0; i < 8; ++i) {
            EXPECT_NEAR(fx[i], dx[i], 1e-4) << dir << " " << i;
            EXPECT_NEAR(fy[i], dy[i], 1e-4) << dir << " " << i;
        }
    }
}

TEST(PxFourier, ImageSpectra) {
    PxImage empty;
    EXPECT_FALSE(empty.FFT2(nullptr, nullptr, nullptr, nullptr, 1, true, false));
    EXPECT_FALSE(empty.FFT2(&empty, nullptr, nullptr, nullptr, 1, true, false));

    // Uniform value 0 without an imaginary image: 128 in both outputs (a missing
    // part reads as zero, not as index 0).
    PxImage flat, re, im;
    GreyImage(flat, 8, 8, [](long, long) { return 128; });
    ASSERT_TRUE(flat.FFT2(&flat, nullptr, &re, &im, 1, true, false));
    EXPECT_TRUE(Spectrum(re, 128));
    EXPECT_TRUE(Spectrum(im, 128));

    // A destination without its source gets the result, not its old pixels read.
    PxImage oldImag;
    GreyImage(oldImag, 8, 8, [](long x, long y) { return x * 20 + y; });
    ASSERT_TRUE(flat.FFT2(&flat, nullptr, nullptr, &oldImag, 1, true, false));
    EXPECT_TRUE(Spectrum(oldImag, 128));

    // Value 64 cos(2 pi 2 x / 8): bins 2 and 6 of row 0 hold 32; gain 2^(3 - 4).
    PxImage wave;
    GreyImage(wave, 8, 8, [](long x, long) { return (x % 4 == 0) ? 192 : (x % 4 == 2 ? 64 : 128); });
    PxImage waveRe, waveIm;
    ASSERT_TRUE(wave.FFT2(&wave, nullptr, &waveRe, &waveIm, 1, false, false));
    EXPECT_TRUE(Spectrum(waveRe, 128, {{2, 0, 144}, {6, 0, 144}}));
    EXPECT_TRUE(Spectrum(waveIm, 128));
    EXPECT_EQ(wave.GetPixelIndex(0, 0), 192) << "a source with a destination stays";

    // Source and destination the same image: transformed in place.
    PxImage self(wave);
    ASSERT_TRUE(self.FFT2(&self, nullptr, &self, nullptr, 1, false, false));
    EXPECT_TRUE(Spectrum(self, 128, {{2, 0, 144}, {6, 0, 144}}));

    // 6 x 5 goes through the direct transform: a DC of 32 with gain 2^(log2 6 - 4).
    PxImage odd, oddRe, oddIm;
    GreyImage(odd, 6, 5, [](long, long) { return 160; });
    ASSERT_TRUE(odd.FFT2(&odd, nullptr, &oddRe, &oddIm, 1, false, false));
    ASSERT_EQ(oddRe.GetWidth(), 6u);
    EXPECT_TRUE(Spectrum(oddRe, 128, {{0, 0, 140}}));
    EXPECT_TRUE(Spectrum(oddIm, 128));

    // Forced to powers of two: 100 x 60 works on 128 x 64.
    PxImage big, bigRe;
    GreyImage(big, 100, 60, [](long x, long y) { return (x + y) & 255; });
    ASSERT_TRUE(big.FFT2(&big, nullptr, &bigRe, nullptr, 1, true, true));
    EXPECT_EQ(bigRe.GetWidth(), 128u);
    EXPECT_EQ(bigRe.GetHeight(), 64u);

    // Only an imaginary source: the real part is computed and dropped, and the
    // source receives the imaginary result. i x 64 cos(...) swaps the parts.
    PxImage onlyImag(wave);
    ASSERT_TRUE(onlyImag.FFT2(nullptr, &onlyImag, nullptr, nullptr, 1, false, false));
    EXPECT_TRUE(Spectrum(onlyImag, 128, {{2, 0, 144}, {6, 0, 144}}));

    // A colour source is taken as its grey levels.
    PxImage colour, colourRe;
    opstest::Solid(colour, 4, 4, opstest::Rgb(128, 128, 128));
    ASSERT_TRUE(colour.FFT2(&colour, nullptr, &colourRe, nullptr, 1, true, false));
    EXPECT_TRUE(Spectrum(colourRe, 128));
}
