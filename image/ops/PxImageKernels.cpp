// Filter kernels of the interpolation methods. All work in single precision.
#include <cmath>

#include "image/PxImage.h"

namespace {
constexpr float kPi = 3.1415927f;
constexpr float kTwoPi = 6.2831855f;

float Cube(float t) { return t > 0.0f ? t * t * t : 0.0f; }

// Rational approximation N(z) / D(z), coefficients highest power first, D's
// leading coefficient 1.
template <int N, int D>
float Rational(const double (&num)[N], const double (&den)[D], float z) {
    float n = 0.0f, d = 0.0f;
    for (double c : num) n = static_cast<float>(n * z + c);
    for (double c : den) d = static_cast<float>(d * z + c);
    return n / d;
}
}  // namespace

float PxImage::KernelLinear(float x) {
    if (x >= -1.0f && x < 0.0f) return 1.0f + x;
    if (x >= 0.0f && x < 1.0f) return 1.0f - x;
    return 0.0f;
}

float PxImage::KernelBox(float x) { return (x >= -0.5f && x < 0.5f) ? 1.0f : 0.0f; }

float PxImage::KernelCubic(float x) {
    float a = std::fabs(x), x2 = x * x;
    if (a < 1.0f) return 1.0f - 2.0f * x2 + a * x2;
    if (a < 2.0f) return 4.0f - 8.0f * a + 5.0f * x2 - a * x2;
    return 0.0f;
}

float PxImage::KernelGeneralizedCubic(float x, float a) {
    float ax = std::fabs(x), x2 = x * x, x3 = ax * x2;
    if (ax < 1.0f) return (a + 2.0f) * x3 - (a + 3.0f) * x2 + 1.0f;
    if (ax < 2.0f) return a * x3 - 5.0f * a * x2 + 8.0f * a * ax - 4.0f * a;
    return 0.0f;
}

float PxImage::KernelBSpline(float x) {
    if (x > 2.0f) return 0.0f;
    return (Cube(x + 2.0f) - 4.0f * Cube(x + 1.0f) + 6.0f * Cube(x) - 4.0f * Cube(x - 1.0f)) * 0.16666667f;
}

float PxImage::KernelHermite(float x) {
    if (x >= -1.0f && x < 1.0f) return (2.0f * std::fabs(x) - 3.0f) * x * x + 1.0f;
    return 0.0f;
}

float PxImage::KernelHamming(float x) {
    if (x >= -1.0f && x < 1.0f) return 0.92f * (2.0f * std::fabs(x) - 3.0f) * x * x + 1.0f;
    return 0.0f;
}

float PxImage::KernelSinc(float x) {
    if (x == 0.0f) return 1.0f;
    float px = kPi * x;
    return std::sin(px) / px;
}

float PxImage::KernelLanczosSinc(float x, float radius) {
    if (std::fabs(x) > radius) return 0.0f;
    if (x == 0.0f) return 1.0f;
    float px = kPi * x, pr = px / radius;
    return (std::sin(px) / px) * (std::sin(pr) / pr);
}

// The Blackman window is periodic (it is 1 again at x = 2), so as an
// interpolation kernel it is limited to its main lobe, |x| < 1, where it falls
// smoothly from 1 to 0; otherwise a 4-pixel window would average P(x) with P(x + 2).
float PxImage::KernelBlackman(float x) {
    if (!(std::fabs(x) < 1.0f)) return 0.0f;
    return 0.42f + 0.5f * std::cos(kPi * x) + 0.08f * std::cos(kTwoPi * x);
}

float PxImage::KernelGaussian(float x) { return std::exp(-2.0f * x * x) * 0.7978845834732056f; }

float PxImage::KernelQuadratic(float x) {
    if (x >= -1.5f && x < -0.5f) return 0.5f * (x + 1.5f) * (x + 1.5f);
    if (x >= -0.5f && x < 0.5f) return 0.75f - x * x;
    if (x >= 0.5f && x < 1.5f) return 0.5f * (x - 1.5f) * (x - 1.5f);
    return 0.0f;
}

float PxImage::KernelMitchell(float x) {
    float a = std::fabs(x), x2 = x * x, x3 = a * x2;
    if (a < 1.0f) return 1.1666666f * x3 - 2.0f * x2 + 0.8888889f;
    if (a < 2.0f) return -0.38888887f * x3 + 2.0f * x2 - 3.3333333f * a + 1.7777778f;
    return 0.0f;
}

float PxImage::KernelCatrom(float x) {
    float a = std::fabs(x), x2 = x * x, x3 = a * x2;
    if (a < 1.0f) return 0.5f * (3.0f * x3 - 5.0f * x2 + 2.0f);
    if (a < 2.0f) return 0.5f * (-x3 + 5.0f * x2 - 8.0f * a + 4.0f);
    return 0.0f;
}

float PxImage::KernelBessel(float x) {
    if (x == 0.0f) return 0.7853982f;
    return KernelBessel_Order1(kPi * x) / (2.0f * x);
}

float PxImage::KernelBessel_J1(float x) {
    static const double kNum[] = {2701.1227108923235, -4695753.530642996, 3413234182.3017006,
                                  -1322983480332.1265, 290879526383477.56, -3.588817569910106e16,
                                  2.3164335806340024e18, -6.672106568924916e19, 5.811993540016061e20};
    static const double kDen[] = {1.0, 1606.9315734814877, 1501793.5949985855, 1013863514.358674,
                                  524371026216.76495, 208166122130760.75, 6.092061398917522e16,
                                  1.185770712190321e19, 1.1623987080032122e21};
    return Rational(kNum, kDen, x * x);
}

float PxImage::KernelBessel_P1(float x) {
    static const double kNum[] = {1.2571716929145342, 211.15291828539623, 4985.4832060594335,
                                  31353.963110915956, 62758.84524716128, 35224.66491336798};
    static const double kDen[] = {1.0, 203.07751891347593, 4930.396490181089,
                                  31240.406381904104, 62694.34695935605, 35224.66491336798};
    float t = 8.0f / x;
    return Rational(kNum, kDen, t * t);
}

float PxImage::KernelBessel_Q1(float x) {
    static const double kNum[] = {0.03532840052740124, 4.568171629551227, 83.18989576738508,
                                  425.98730116544425, 721.0391804904475, 351.17519143035526};
    static const double kDen[] = {1.0, 103.81875854621337, 1811.1867005523513,
                                  9152.231701516992, 15414.177339265098, 7491.737417180912};
    float t = 8.0f / x;
    return Rational(kNum, kDen, t * t);
}

float PxImage::KernelBessel_Order1(float x) {
    if (x == 0.0f) return 0.0f;
    float t = std::fabs(x);
    if (t < 8.0f) return x * KernelBessel_J1(t);
    const float kSqrt2 = 1.4142135f;
    float r = std::sqrt(2.0f / (kPi * t)) *
              (KernelBessel_P1(t) * (std::sin(t) - std::cos(t)) / kSqrt2 +
               (8.0f / t) * KernelBessel_Q1(t) * (std::sin(t) + std::cos(t)) / kSqrt2);
    return x < 0.0f ? -r : r;
}
