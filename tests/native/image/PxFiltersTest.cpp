// Neighbourhood filters on small hand-made images whose results are known.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <set>
#include <vector>

#include "OpsTestSupport.h"
#include "image/PxImage.h"

using opstest::Rgb;

namespace {
struct Probe : PxImage {
    using PxImage::blur_line;
    using PxImage::gen_convolve_matrix;
    using PxImage::gen_lookup_table;
    using PxImage::RepairChannel;
};

const long kBox[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
const long kIdentity[9] = {0, 0, 0, 0, 1, 0, 0, 0, 0};
const long kBelow[9] = {0, 1, 0, 0, 0, 0, 0, 0, 0};  // rows run from the bottom: the pixel below

void Grey(PxImage& im, uint32_t w, uint32_t h, const std::function<int(long, long)>& f) {
    im.Create(w, h, 8, PxFormatUnknown);
    im.SetGrayPalette();
    for (long y = 0; y < static_cast<long>(h); ++y)
        for (long x = 0; x < static_cast<long>(w); ++x) im.SetPixelIndex(x, y, static_cast<uint8_t>(f(x, y)));
}

// A 7 x 7 24-bit image of `back` with one pixel of `dot` at (3, 3).
void Dot(PxImage& im, RGBQUAD back, RGBQUAD dot) {
    opstest::Solid(im, 7, 7, back);
    im.SetPixelColor(3, 3, dot);
}

// Pixels inside [x0, x1] x [y0, y1] are `in`, all others `out`.
::testing::AssertionResult Square(const PxImage& im, long x0, long y0, long x1, long y1, RGBQUAD in, RGBQUAD out) {
    for (long y = 0; y < static_cast<long>(im.GetHeight()); ++y)
        for (long x = 0; x < static_cast<long>(im.GetWidth()); ++x) {
            bool inside = x >= x0 && x <= x1 && y >= y0 && y <= y1;
            RGBQUAD p = im.GetPixelColor(x, y);
            if (!opstest::Same(p, inside ? in : out))
                return ::testing::AssertionFailure() << "(" << x << "," << y << ") is " << opstest::Str(p);
        }
    return ::testing::AssertionSuccess();
}
}  // namespace

TEST(PxFilters, UniformInUniformOut) {
    const RGBQUAD c = Rgb(90, 140, 200);
    struct Case {
        const char* name;
        std::function<bool(PxImage&)> op;
        RGBQUAD want;
    } cases[] = {
        {"box filter", [](PxImage& im) { return im.Filter(kBox, 3, 9, 0); }, c},
        {"erode", [](PxImage& im) { return im.Erode(3); }, c},
        {"dilate", [](PxImage& im) { return im.Dilate(4); }, c},
        {"median", [](PxImage& im) { return im.Median(3); }, c},
        {"unsharp", [](PxImage& im) { return im.UnsharpMask(2.0f, 1.5f, 0); }, c},
        {"repair", [](PxImage& im) { return im.Repair(0.5f, 2, 0); }, c},
        {"jitter", [](PxImage& im) { return im.Jitter(3); }, c},
        {"noise 0", [](PxImage& im) { return im.Noise(0); }, c},
        {"edge", [](PxImage& im) { return im.Edge(3); }, Rgb(255, 255, 255)},
        {"contour", [](PxImage& im) { return im.Contour(); }, Rgb(255, 255, 255)},
    };
    for (const Case& t : cases) {
        PxImage im;
        opstest::Solid(im, 9, 7, c);
        ASSERT_TRUE(t.op(im)) << t.name;
        EXPECT_EQ(im.GetWidth(), 9u) << t.name;
        EXPECT_TRUE(opstest::AllPixels(im, t.want)) << t.name;
    }
}

TEST(PxFilters, MorphologyAndMedianOfADot) {
    const RGBQUAD white = Rgb(255, 255, 255), black = Rgb(0, 0, 0);
    struct Case {
        const char* name;
        RGBQUAD back, dot;
        std::function<bool(PxImage&)> op;
        long x0, y0, x1, y1;  // where `dot` is afterwards (x1 < x0: nowhere)
    } cases[] = {
        {"erode spreads black", white, black, [](PxImage& im) { return im.Erode(3); }, 2, 2, 4, 4},
        {"dilate removes black", white, black, [](PxImage& im) { return im.Dilate(3); }, 1, 0, 0, 0},
        {"dilate spreads white", black, white, [](PxImage& im) { return im.Dilate(3); }, 2, 2, 4, 4},
        // An even window reaches one further up and right of the pixel it writes.
        {"even window", white, black, [](PxImage& im) { return im.Erode(2); }, 3, 3, 4, 4},
        {"median removes salt", black, white, [](PxImage& im) { return im.Median(3); }, 1, 0, 0, 0},
        {"median 5", white, black, [](PxImage& im) { return im.Median(5); }, 1, 0, 0, 0},
    };
    for (const Case& t : cases) {
        PxImage im;
        Dot(im, t.back, t.dot);
        ASSERT_TRUE(t.op(im)) << t.name;
        EXPECT_TRUE(Square(im, t.x0, t.y0, t.x1, t.y1, t.dot, t.back)) << t.name;
    }
}

TEST(PxFilters, ConvolutionPaths) {
    // Grey path: the outer frame keeps its bytes, the interior is the window mean.
    PxImage grey;
    Grey(grey, 6, 5, [](long x, long y) { return (x * 37 + y * 91) % 256; });
    PxImage src(grey);
    ASSERT_TRUE(grey.Filter(kBox, 3, 9, 0));
    for (long y = 0; y < 5; ++y)
        for (long x = 0; x < 6; ++x) {
            int want = src.GetPixelIndex(x, y);
            if (x > 0 && y > 0 && x < 5 && y < 4) {
                int sum = 0;
                for (long j = -1; j <= 1; ++j)
                    for (long i = -1; i <= 1; ++i) sum += src.GetPixelIndex(x + i, y + j);
                want = sum / 9;
            }
            EXPECT_EQ(grey.GetPixelIndex(x, y), want) << x << "," << y;
        }

    // Colour path: identity changes nothing; kernel rows start at the bottom, and
    // the window below row 0 reads pixel (0, 0).
    PxImage colour;
    opstest::Numbered(colour, 6, 5);
    PxImage same(colour), below(colour);
    ASSERT_TRUE(same.Filter(kIdentity, 3, 1, 0));
    EXPECT_EQ(opstest::Hash(same), opstest::Hash(colour));
    ASSERT_TRUE(below.Filter(kBelow, 3, 0, 0));
    for (long y = 0; y < 5; ++y)
        for (long x = 0; x < 6; ++x) {
            RGBQUAD want = y == 0 ? colour.GetPixelColor(0, 0) : colour.GetPixelColor(x, y - 1);
            EXPECT_TRUE(opstest::Same(below.GetPixelColor(x, y), want)) << x << "," << y;
        }

    // Offset and clamping, and a negative divisor.
    PxImage flat, neg;
    opstest::Solid(flat, 4, 4, Rgb(100, 100, 100));
    opstest::Solid(neg, 4, 4, Rgb(100, 100, 100));
    ASSERT_TRUE(flat.Filter(kIdentity, 3, 1, 200));
    EXPECT_TRUE(opstest::AllPixels(flat, Rgb(255, 255, 255)));
    ASSERT_TRUE(neg.Filter(kBox, 3, -9, 150));
    EXPECT_TRUE(opstest::AllPixels(neg, Rgb(50, 50, 50)));
}

TEST(PxFilters, BadArgumentsFailAndChangeNothing) {
    struct Case {
        const char* name;
        std::function<bool(PxImage&)> op;
    } cases[] = {
        {"filter null kernel", [](PxImage& im) { return im.Filter(nullptr, 3, 1, 0); }},
        {"filter k 0", [](PxImage& im) { return im.Filter(kBox, 0, 1, 0); }},
        {"filter huge k", [](PxImage& im) { return im.Filter(kBox, 1L << 20, 1, 0); }},
        {"erode k 0", [](PxImage& im) { return im.Erode(0); }},
        {"dilate negative", [](PxImage& im) { return im.Dilate(-3); }},
        {"edge huge", [](PxImage& im) { return im.Edge(0x10000); }},
        {"median k 0", [](PxImage& im) { return im.Median(0); }},
        {"median huge", [](PxImage& im) { return im.Median(1L << 30); }},
        {"unsharp huge radius", [](PxImage& im) { return im.UnsharpMask(1e9f, 1.0f, 0); }},
        {"unsharp nan radius", [](PxImage& im) { return im.UnsharpMask(std::nanf(""), 1.0f, 0); }},
    };
    for (const Case& t : cases) {
        PxImage im;
        opstest::Numbered(im, 5, 4);
        uint64_t before = opstest::Hash(im);
        EXPECT_FALSE(t.op(im)) << t.name;
        EXPECT_EQ(opstest::Hash(im), before) << t.name;
    }
    PxImage empty;
    EXPECT_FALSE(empty.Filter(kBox, 3, 9, 0));
    EXPECT_FALSE(empty.Erode(3));
    EXPECT_FALSE(empty.Median(3));
    EXPECT_FALSE(empty.Contour());
    EXPECT_FALSE(empty.Jitter(2));
    EXPECT_FALSE(empty.Noise(10));
    EXPECT_FALSE(empty.UnsharpMask());
    EXPECT_FALSE(empty.Repair());
    // Column access needs whole bytes: 1- and 4-bit images are refused.
    for (uint32_t bpp : {1u, 4u}) {
        PxImage low(8, 8, bpp, 0);
        EXPECT_FALSE(low.UnsharpMask()) << bpp;
    }
}

TEST(PxFilters, GaussianMatrixAndBlurLine) {
    struct {
        float radius;
        int length;
    } cases[] = {{0.0f, 5}, {5.0f, 25}, {1.0f, 9}};
    for (auto& c : cases) {
        float* m = nullptr;
        int n = Probe::gen_convolve_matrix(c.radius, &m);
        ASSERT_EQ(n, c.length) << c.radius;
        double sum = 0;
        for (int i = 0; i < n; ++i) sum += m[i];
        EXPECT_NEAR(sum, 1.0, 1e-6);
        EXPECT_FLOAT_EQ(m[0], m[n - 1]);
        EXPECT_GT(m[n / 2], m[0]);
        delete[] m;
    }

    // Every case of the line blur (shorter than the matrix, head, middle by
    // table, tail) equals the weighted mean over the part of the matrix that
    // lies on the line.
    float* m = nullptr;
    const int n = Probe::gen_convolve_matrix(0.0f, &m);  // 5 taps
    float* table = Probe::gen_lookup_table(m, n);
    ASSERT_NE(table, nullptr);
    for (int len : {1, 3, 4, 5, 6, 13}) {
        for (long b : {1L, 3L}) {
            std::vector<uint8_t> src(static_cast<size_t>(len * b)), dst(src.size());
            for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>((i * 97 + 13) % 256);
            Probe::blur_line(table, m, n, src.data(), dst.data(), len, b);
            for (int r = 0; r < len; ++r)
                for (long i = 0; i < b; ++i) {
                    double s = 0, w = 0;
                    for (int j = 0; j < n; ++j) {
                        int p = r + j - n / 2;
                        if (p < 0 || p >= len) continue;
                        s += src[static_cast<size_t>(p * b + i)] * m[j];
                        w += m[j];
                    }
                    EXPECT_NEAR(dst[static_cast<size_t>(r * b + i)], s / w, 0.51) << len << " " << r << " " << i;
                }
        }
    }
    delete[] table;
    delete[] m;
}

TEST(PxFilters, UnsharpMaskSharpensAnEdge) {
    PxImage step;
    Grey(step, 12, 6, [](long x, long) { return x < 6 ? 60 : 180; });
    PxImage zero(step);
    ASSERT_TRUE(zero.UnsharpMask(1.0f, 0.0f, 0));
    EXPECT_EQ(opstest::Hash(zero), opstest::Hash(step));
    ASSERT_TRUE(step.UnsharpMask(1.0f, 1.0f, 0));
    // Overshoot on both sides of the edge; the flat far ends stay.
    EXPECT_LT(step.GetPixelIndex(5, 3), 60);
    EXPECT_GT(step.GetPixelIndex(6, 3), 180);
    EXPECT_EQ(step.GetPixelIndex(0, 3), 60);
    EXPECT_EQ(step.GetPixelIndex(11, 3), 180);

    // A threshold above every difference leaves the image as it was.
    PxImage colour, before;
    opstest::Numbered(colour, 9, 8);
    before = colour;
    ASSERT_TRUE(colour.UnsharpMask(1.0f, 2.0f, 600));
    EXPECT_EQ(opstest::Hash(colour), opstest::Hash(before));
}

TEST(PxFilters, RepairKeepsTheBorder) {
    PxImage ch;
    Grey(ch, 7, 6, [](long x, long y) { return (x * 53 + y * y * 29) % 256; });
    PxImage before(ch);
    ASSERT_TRUE(Probe::RepairChannel(&ch, 0.5f));
    bool changed = false;
    for (long y = 0; y < 6; ++y)
        for (long x = 0; x < 7; ++x) {
            bool border = x == 0 || y == 0 || x == 6 || y == 5;
            if (border)
                EXPECT_EQ(ch.GetPixelIndex(x, y), before.GetPixelIndex(x, y)) << x << "," << y;
            else
                changed |= ch.GetPixelIndex(x, y) != before.GetPixelIndex(x, y);
        }
    EXPECT_TRUE(changed);
    EXPECT_FALSE(Probe::RepairChannel(nullptr, 0.5f));

    // Every colour space comes back as 24 bits, alpha kept.
    for (long space = 0; space <= 4; ++space) {
        PxImage im;
        opstest::Numbered(im, 6, 5);
        im.AlphaCreate();
        im.AlphaSet(2, 2, 77);
        ASSERT_TRUE(im.Repair(0.1f, 1, space)) << space;
        EXPECT_EQ(im.GetBpp(), 24);
        ASSERT_TRUE(im.AlphaIsValid()) << space;
        EXPECT_EQ(im.AlphaGet(2, 2), 77) << space;
    }
}

TEST(PxFilters, RandomFiltersRepeatWithASeed) {
    PxImage src;
    opstest::Numbered(src, 8, 6);
    std::set<uint32_t> colours;
    for (long y = 0; y < 6; ++y)
        for (long x = 0; x < 8; ++x) {
            RGBQUAD c = src.GetPixelColor(x, y);
            colours.insert(static_cast<uint32_t>(c.rgbRed << 16 | c.rgbGreen << 8 | c.rgbBlue));
        }
    for (int op = 0; op < 2; ++op) {
        PxImage a(src), b(src);
        PxImage::SeedRandom(42);
        ASSERT_TRUE(op == 0 ? a.Jitter(2) : a.Noise(40));
        PxImage::SeedRandom(42);
        ASSERT_TRUE(op == 0 ? b.Jitter(2) : b.Noise(40));
        EXPECT_EQ(opstest::Hash(a), opstest::Hash(b)) << op;
        EXPECT_NE(opstest::Hash(a), opstest::Hash(src)) << op;
        if (op == 0)  // jitter only moves existing pixels
            for (long y = 0; y < 6; ++y)
                for (long x = 0; x < 8; ++x) {
                    RGBQUAD c = a.GetPixelColor(x, y);
                    EXPECT_TRUE(colours.count(static_cast<uint32_t>(c.rgbRed << 16 | c.rgbGreen << 8 | c.rgbBlue)));
                }
    }
    for (int i = 0; i < 1000; ++i) {
        int r = PxImage::Random15();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 32767);
    }
}

TEST(PxFilters, MaskAndEscape) {
    // With a selection only the selected pixels change.
    PxImage im;
    Dot(im, Rgb(255, 255, 255), Rgb(0, 0, 0));
    RECT r{0, 0, 4, 7};  // columns 0..3
    ASSERT_TRUE(im.SelectionAddRect(r));
    ASSERT_TRUE(im.Erode(3));
    EXPECT_TRUE(Square(im, 2, 2, 3, 4, Rgb(0, 0, 0), Rgb(255, 255, 255)));

    // A set escape field stops the filter; what was not reached keeps its pixels.
    PxImage stopped;
    opstest::Numbered(stopped, 5, 5);
    PxImage before(stopped);
    stopped.SetEscape(1);
    EXPECT_TRUE(stopped.Contour());
    EXPECT_EQ(opstest::Hash(stopped), opstest::Hash(before));
}
