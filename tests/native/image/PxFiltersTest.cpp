// Neighbourhood filters on small hand-made images whose results are known.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <random>
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

namespace {
// Filter by its definition, one pixel at a time: 64-bit sums that wrap, window
// pixels outside the image as GetPixelColor gives them (grey images: pixels whose
// window leaves the image keep their index), the work area being the selection box.
void ReferenceFilter(const PxImage& src, PxImage& dst, const long* kernel, long k, long divisor, long offset) {
    auto wrap = [](uint64_t v) { return static_cast<int64_t>(v); };
    auto finish = [&](uint64_t sum) {
        int64_t s = wrap(sum);
        int64_t q = divisor == 0 ? s : (divisor == -1 ? wrap(0 - static_cast<uint64_t>(s)) : s / divisor);
        int64_t v = wrap(static_cast<uint64_t>(static_cast<int64_t>(offset)) + static_cast<uint64_t>(q));
        return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
    };
    const long w = static_cast<long>(src.GetWidth()), h = static_cast<long>(src.GetHeight()), k2 = k / 2;
    long left = 0, bottom = 0, right = w, top = h;
    if (src.SelectionIsValid()) {
        RECT box;
        src.SelectionGetBox(box);
        auto clamp = [](long v, long hi) { return v < 0 ? 0 : (v > hi ? hi : v); };
        left = clamp(box.left, w), right = clamp(box.right, w), bottom = clamp(box.bottom, h), top = clamp(box.top, h);
    }
    const bool grey = src.GetBpp() == 8 && src.IsGrayScale();
    for (long y = bottom; y < top; ++y)
        for (long x = left; x < right; ++x) {
            if (!src.SelectionIsInside(x, y)) continue;
            uint64_t s[3] = {0, 0, 0};
            for (long dy = -k2; dy < k - k2; ++dy)
                for (long dx = -k2; dx < k - k2; ++dx) {
                    uint64_t kv = static_cast<uint64_t>(static_cast<int64_t>(kernel[(dx + k2) + k * (dy + k2)]));
                    if (grey) {
                        s[0] += kv * src.GetPixelIndex(x + dx, y + dy);
                    } else {
                        RGBQUAD c = src.GetPixelColor(x + dx, y + dy);
                        s[0] += kv * c.rgbRed;
                        s[1] += kv * c.rgbGreen;
                        s[2] += kv * c.rgbBlue;
                    }
                }
            if (grey) {
                if (x - k2 >= 0 && y - k2 >= 0 && x - k2 + k - 1 < w && y - k2 + k - 1 < h)
                    dst.SetPixelIndex(x, y, finish(s[0]));
            } else {
                RGBQUAD c = src.GetPixelColor(x, y);
                c.rgbRed = finish(s[0]);
                c.rgbGreen = finish(s[1]);
                c.rgbBlue = finish(s[2]);
                dst.SetPixelColor(x, y, c, false);
            }
        }
}
}  // namespace

// The row-wise convolution of 24-bit and grey images against the definition, on
// random images of odd sizes, with and without a selection, for kernels inside and
// outside the range it takes (larger ones take the 64-bit path).
TEST(PxFilters, ConvolutionMatchesItsDefinition) {
    std::mt19937 rng(20261211);
    auto pick = [&](long lo, long hi) { return std::uniform_int_distribution<long>(lo, hi)(rng); };
    enum Kind { Rgb24, Rgb24Alpha, Rgb24Trans, GreyIndex, Palette };
    const struct {
        long w, h;
    } sizes[] = {{1, 1}, {3, 1}, {2, 5}, {5, 3}, {7, 9}, {17, 5}, {33, 21}, {101, 7}};
    const struct {
        long k;      // 0: 2..5 at random
        long bound;  // weights in -bound..bound
    } kernels[] = {{0, 1}, {1, 8}, {0, 300}, {3, 40000}, {3, 7000}, {1, 65793}, {0, std::numeric_limits<long>::max() / 3}};
    const long divisors[] = {0, 1, -1, 9, 7, -13, 100000, 1L << 30};
    const long offsets[] = {0, 7, -300, 128, 1L << 30, -(1L << 30) - 5};
    int cases = 0;
    for (const auto& size : sizes)
        for (int kind = Rgb24; kind <= Palette; ++kind)
            for (int selection = 0; selection < 3; ++selection) {
                PxImage src;
                src.Create(static_cast<uint32_t>(size.w), static_cast<uint32_t>(size.h),
                           kind == GreyIndex || kind == Palette ? 8 : 24, PxFormatUnknown);
                if (kind == GreyIndex) src.SetGrayPalette();
                if (kind == Palette)
                    for (int i = 0; i < 256; ++i)
                        src.SetPaletteColor(static_cast<uint8_t>(i), static_cast<uint8_t>(i * 7),
                                            static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 3));
                for (long y = 0; y < size.h; ++y)
                    for (long x = 0; x < size.w; ++x) {
                        if (src.IsIndexed())
                            src.SetPixelIndex(x, y, static_cast<uint8_t>(pick(0, 255)));
                        else
                            src.SetPixelColor(x, y, Rgb(static_cast<uint8_t>(pick(0, 255)),
                                                        static_cast<uint8_t>(pick(0, 255)),
                                                        static_cast<uint8_t>(pick(0, 255))));
                    }
                if (kind == Rgb24Alpha) {
                    src.AlphaCreate();
                    for (long y = 0; y < size.h; ++y)
                        for (long x = 0; x < size.w; ++x) src.AlphaSet(x, y, static_cast<uint8_t>(pick(0, 255)));
                }
                if (kind == Rgb24Trans) {  // the window outside the image reads the transparent colour
                    src.SetTransIndex(0);
                    src.SetTransColor(Rgb(250, 3, 128));
                }
                if (selection == 1) {
                    RECT r;
                    r.left = static_cast<LONG>(pick(0, size.w / 2));
                    r.right = static_cast<LONG>(pick(size.w / 2, size.w));
                    r.bottom = static_cast<LONG>(pick(0, size.h / 2));
                    r.top = static_cast<LONG>(pick(size.h / 2, size.h));
                    ASSERT_TRUE(src.SelectionAddRect(r));
                } else if (selection == 2) {
                    RECT r;
                    r.left = -1;
                    r.bottom = -1;
                    r.right = static_cast<LONG>(size.w + 1);
                    r.top = static_cast<LONG>(size.h + 1);
                    src.SelectionAddEllipse(r);
                    src.SelectionAddPixel(pick(0, size.w - 1), pick(0, size.h - 1));
                }
                for (const auto& kb : kernels) {
                    const long k = kb.k ? kb.k : pick(2, 5);
                    std::vector<long> kernel(static_cast<size_t>(k * k));
                    for (long& v : kernel) v = pick(-kb.bound, kb.bound);
                    const long divisor = divisors[pick(0, 7)], offset = offsets[pick(0, 5)];
                    PxImage ours(src), want(src);
                    ASSERT_TRUE(ours.Filter(kernel.data(), k, divisor, offset));
                    ReferenceFilter(src, want, kernel.data(), k, divisor, offset);
                    ++cases;
                    ASSERT_EQ(opstest::Hash(ours), opstest::Hash(want))
                        << size.w << "x" << size.h << " kind " << kind << " selection " << selection << " k " << k
                        << " bound " << kb.bound << " divisor " << divisor << " offset " << offset;
                }
            }
    EXPECT_EQ(cases, 8 * 5 * 3 * 7);

    // A weighted mean keeps a uniform image, also with weights whose sums pass 2^24
    // (where float sums would round).
    for (long bound : {7000L, 40000L, 1000000L}) {
        std::vector<long> kernel(9);
        long sum = 0;
        for (long& v : kernel) sum += v = pick(bound / 2, bound);
        PxImage flat, grey;
        opstest::Solid(flat, 37, 5, Rgb(201, 77, 255));
        ASSERT_TRUE(flat.Filter(kernel.data(), 3, sum, 0));
        EXPECT_TRUE(opstest::AllPixels(flat, Rgb(201, 77, 255))) << bound;
        Grey(grey, 37, 5, [](long, long) { return 253; });
        ASSERT_TRUE(grey.Filter(kernel.data(), 3, sum, 0));
        EXPECT_TRUE(opstest::AllPixels(grey, Rgb(253, 253, 253))) << bound;
    }

    // The box filter of the benchmark, and an escape field set before the first row.
    PxImage wide, stopped;
    opstest::Numbered(wide, 643, 11);
    PxImage want(wide);
    stopped = wide;
    ReferenceFilter(wide, want, kBox, 3, 9, 0);
    ASSERT_TRUE(wide.Filter(kBox, 3, 9, 0));
    EXPECT_EQ(opstest::Hash(wide), opstest::Hash(want));
    uint64_t before = opstest::Hash(stopped);
    stopped.SetEscape(1);
    EXPECT_TRUE(stopped.Filter(kBox, 3, 9, 0));
    EXPECT_EQ(opstest::Hash(stopped), before);
}
