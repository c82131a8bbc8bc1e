// Colour spaces (HSL, YUV, YIQ, XYZ), splitting an image into one grey image per
// channel and combining channel images back, and the hue operations built on HSL.
// Conversions compute in single precision and truncate toward zero.
#include <cstdint>

#include "image/PxImage.h"
#include "image/ops/PxOpsSupport.h"

namespace {
// Truncates toward zero, then clamps to a byte. Values beyond the range of long
// (and NaN) are clamped before the conversion.
uint8_t TruncClamp(float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 255.0f) return 255;
    return static_cast<uint8_t>(static_cast<long>(v));
}

RGBQUAD Quad(uint8_t r, uint8_t g, uint8_t b) {
    RGBQUAD c;
    c.rgbRed = r;
    c.rgbGreen = g;
    c.rgbBlue = b;
    c.rgbReserved = 0;
    return c;
}

RGBQUAD Unchanged(RGBQUAD c) { return c; }
}  // namespace

RGBQUAD PxImage::RGBtoHSL(RGBQUAD color) {
    const int R = color.rgbRed, G = color.rgbGreen, B = color.rgbBlue;
    const int mx = R > G ? (R > B ? R : B) : (G > B ? G : B);
    const int mn = R < G ? (R < B ? R : B) : (G < B ? G : B);
    const int L = ((mx + mn) * 255 + 255) / 510;
    int H, S;
    if (mx == mn) {
        S = 0;
        H = 170;
    } else {
        const int d = L <= 127 ? mx + mn : 510 - mx - mn;
        S = ((mx - mn) * 255 + d / 2) / d;
        const int span = mx - mn;
        const int Rd = ((mx - R) * 42 + span / 2) / span;
        const int Gd = ((mx - G) * 42 + span / 2) / span;
        const int Bd = ((mx - B) * 42 + span / 2) / span;
        if (R == mx)
            H = Bd - Gd;
        else if (G == mx)
            H = 85 + Rd - Bd;
        else
            H = 170 + Gd - Rd;
    }
    return Quad(static_cast<uint8_t>(H & 255), static_cast<uint8_t>(S), static_cast<uint8_t>(L));
}

float PxImage::HueToRGB(float m1, float m2, float hue) {
    if (hue > 360.0f)
        hue -= 360.0f;
    else if (hue < 0.0f)
        hue += 360.0f;
    if (hue < 60.0f) return m1 + (m2 - m1) * hue / 60.0f;
    if (hue < 180.0f) return m2;
    if (hue < 240.0f) return m1 + (m2 - m1) * (240.0f - hue) / 60.0f;
    return m1;
}

RGBQUAD PxImage::HSLtoRGB(RGBQUAD color) {
    const float h = static_cast<float>(color.rgbRed) * 360.0f / 255.0f;
    const float s = static_cast<float>(color.rgbGreen) / 255.0f;
    const float l = static_cast<float>(color.rgbBlue) / 255.0f;
    if (s == 0.0f) {
        uint8_t v = TruncClamp(l * 255.0f);
        return Quad(v, v, v);
    }
    const float m2 = l <= 0.5f ? l * (1.0f + s) : l + s - l * s;
    const float m1 = 2.0f * l - m2;
    return Quad(TruncClamp(HueToRGB(m1, m2, h + 120.0f) * 255.0f), TruncClamp(HueToRGB(m1, m2, h) * 255.0f),
                TruncClamp(HueToRGB(m1, m2, h - 120.0f) * 255.0f));
}

RGBQUAD PxImage::HSLtoRGB(COLORREF color) { return HSLtoRGB(RGBtoRGBQUAD(color)); }

RGBQUAD PxImage::RGBtoYUV(RGBQUAD color) {
    const float R = color.rgbRed, G = color.rgbGreen, B = color.rgbBlue;
    const float Y = static_cast<float>(static_cast<long>(0.299f * R + 0.587f * G + 0.114f * B));
    const float U = (B - Y) * 0.565f + 128.0f;
    const float V = (R - Y) * 0.713f + 128.0f;
    return Quad(TruncClamp(Y), TruncClamp(U), TruncClamp(V));
}

RGBQUAD PxImage::YUVtoRGB(RGBQUAD color) {
    const float Y = color.rgbRed;
    const float u = static_cast<float>(color.rgbGreen) - 128.0f;
    const float v = static_cast<float>(color.rgbBlue) - 128.0f;
    return Quad(TruncClamp(Y + 1.403f * v), TruncClamp(Y - 0.344f * u - 0.714f * v), TruncClamp(Y + 1.770f * u));
}

RGBQUAD PxImage::RGBtoYIQ(RGBQUAD color) {
    const float R = color.rgbRed, G = color.rgbGreen, B = color.rgbBlue;
    const float Y = 0.2992f * R + 0.5868f * G + 0.1140f * B;
    const float I = 0.5960f * R - 0.2742f * G - 0.3219f * B + 128.0f;
    const float Q = 0.2109f * R - 0.5229f * G + 0.3120f * B + 128.0f;
    return Quad(TruncClamp(Y), TruncClamp(I), TruncClamp(Q));
}

RGBQUAD PxImage::YIQtoRGB(RGBQUAD color) {
    const float Y = color.rgbRed;
    const float i = static_cast<float>(color.rgbGreen) - 128.0f;
    const float q = static_cast<float>(color.rgbBlue) - 128.0f;
    return Quad(TruncClamp(Y + 0.956f * i + 0.621f * q), TruncClamp(Y - 0.273f * i - 0.647f * q),
                TruncClamp(Y - 1.104f * i + 1.701f * q));
}

RGBQUAD PxImage::RGBtoXYZ(RGBQUAD color) {
    const float R = color.rgbRed, G = color.rgbGreen, B = color.rgbBlue;
    const float X = 0.412453f * R + 0.357580f * G + 0.180423f * B;
    const float Y = 0.212671f * R + 0.715160f * G + 0.072169f * B;
    const float Z = (0.019334f * R + 0.119193f * G + 0.950227f * B) * 0.9184837f;
    // The results stay within 0..255; the clamp only guards the conversion.
    return Quad(TruncClamp(X), TruncClamp(Y), TruncClamp(Z));
}

RGBQUAD PxImage::XYZtoRGB(RGBQUAD color) {
    const float X = color.rgbRed, Y = color.rgbGreen, Z = color.rgbBlue;
    const float k = 1.088751f;
    return Quad(TruncClamp(3.240479f * X - 1.537150f * Y - 0.498535f * Z * k),
                TruncClamp(-0.969256f * X + 1.875992f * Y + 0.041556f * Z * k),
                TruncClamp(0.055648f * X - 0.204043f * Y + 1.057311f * Z * k));
}

bool PxImage::SplitWith(RGBQUAD (*convert)(RGBQUAD), PxImage* a, PxImage* b, PxImage* c) {
    if (!m_dib || (!a && !b && !c)) return false;
    const uint32_t w = GetWidth(), h = GetHeight();
    PxImage wa, wb, wc;
    PxImage* works[3] = {&wa, &wb, &wc};
    PxImage* outs[3] = {a, b, c};
    for (int n = 0; n < 3; ++n)
        if (outs[n] && !works[n]->Create(w, h, 8, PxFormatUnknown)) return false;
    for (long y = 0; y < static_cast<long>(h); ++y)
        for (long x = 0; x < static_cast<long>(w); ++x) {
            RGBQUAD v = convert(BlindGetPixelColor(x, y));
            if (a) wa.BlindSetPixelIndex(x, y, v.rgbRed);
            if (b) wb.BlindSetPixelIndex(x, y, v.rgbGreen);
            if (c) wc.BlindSetPixelIndex(x, y, v.rgbBlue);
        }
    for (int n = 0; n < 3; ++n)
        if (outs[n]) {
            works[n]->SetGrayPalette();
            outs[n]->Transfer(*works[n]);
        }
    return true;
}

bool PxImage::SplitRGB(PxImage* r, PxImage* g, PxImage* b) { return SplitWith(Unchanged, r, g, b); }
bool PxImage::SplitYUV(PxImage* y, PxImage* u, PxImage* v) { return SplitWith(RGBtoYUV, y, u, v); }
bool PxImage::SplitYIQ(PxImage* y, PxImage* i, PxImage* q) { return SplitWith(RGBtoYIQ, y, i, q); }
bool PxImage::SplitXYZ(PxImage* x, PxImage* y, PxImage* z) { return SplitWith(RGBtoXYZ, x, y, z); }
bool PxImage::SplitHSL(PxImage* h, PxImage* s, PxImage* l) { return SplitWith(RGBtoHSL, h, s, l); }

bool PxImage::SplitCMYK(PxImage* c, PxImage* m, PxImage* y, PxImage* k) {
    if (!m_dib || (!c && !m && !y && !k)) return false;
    const uint32_t w = GetWidth(), h = GetHeight();
    PxImage works[4];
    PxImage* outs[4] = {c, m, y, k};
    for (int n = 0; n < 4; ++n)
        if (outs[n] && !works[n].Create(w, h, 8, PxFormatUnknown)) return false;
    for (long yy = 0; yy < static_cast<long>(h); ++yy)
        for (long x = 0; x < static_cast<long>(w); ++x) {
            RGBQUAD v = BlindGetPixelColor(x, yy);
            uint8_t vals[4] = {static_cast<uint8_t>(255 - v.rgbRed), static_cast<uint8_t>(255 - v.rgbGreen),
                               static_cast<uint8_t>(255 - v.rgbBlue),
                               static_cast<uint8_t>((v.rgbRed * 306 + v.rgbGreen * 601 + v.rgbBlue * 117) >> 10)};
            for (int n = 0; n < 4; ++n)
                if (outs[n]) works[n].BlindSetPixelIndex(x, yy, vals[n]);
        }
    for (int n = 0; n < 4; ++n)
        if (outs[n]) {
            works[n].SetGrayPalette();
            outs[n]->Transfer(works[n]);
        }
    return true;
}

bool PxImage::Combine(PxImage* c1, PxImage* c2, PxImage* c3, PxImage* alpha, long colorSpace) {
    if (!c1 || !c2 || !c3 || !c1->IsValid()) return false;
    const long w = static_cast<long>(c1->GetWidth()), h = static_cast<long>(c1->GetHeight());
    // The result is built aside, so this image may itself be one of the inputs.
    PxImage work;
    work.CopyInfo(*this);
    if (!work.Create(static_cast<uint32_t>(w), static_cast<uint32_t>(h), 24, PxFormatUnknown)) return false;
    if (!c2->Resample(w, h, 1) || !c3->Resample(w, h, 1)) return false;
    if (alpha) {
        if (!alpha->Resample(w, h, 1)) return false;
        work.AlphaCreate();
        if (!work.AlphaIsValid()) return false;
    }
    RGBQUAD (*convert)(RGBQUAD) = Unchanged;
    switch (colorSpace) {
        case 1: convert = HSLtoRGB; break;
        case 2: convert = YUVtoRGB; break;
        case 3: convert = YIQtoRGB; break;
        case 4: convert = XYZtoRGB; break;
        default: break;
    }
    for (long y = 0; y < h; ++y) {
        m_info.progress = pxops::Percent(y, h);
        for (long x = 0; x < w; ++x) {
            RGBQUAD c = convert(Quad(c1->GetPixelIndex(x, y), c2->GetPixelIndex(x, y), c3->GetPixelIndex(x, y)));
            work.SetPixelColor(x, y, c, false);
            if (alpha) work.AlphaSet(x, y, alpha->GetPixelIndex(x, y));
        }
    }
    return Transfer(work);
}

void PxImage::HuePalette(float correction) {
    RGBQUAD* pal = GetPalette();
    const long n = static_cast<long>(GetNumColors());
    // One entry has no hue step; it is left as it is.
    if (!pal || n < 2) return;
    const long step = 255 / (n - 1);
    for (long j = 0; j < n; ++j) {
        float v = static_cast<float>(step) * (correction * static_cast<float>(j));
        long hue = (v > -2e9f && v < 2e9f) ? static_cast<long>(v) : 0;
        RGBQUAD c = HSLtoRGB(Quad(static_cast<uint8_t>(((hue % 256) + 256) % 256), 240, 120));
        c.rgbReserved = 0;
        pal[j] = c;
    }
    m_info.nearestValid = false;
}

bool PxImage::Colorize(uint8_t hue, uint8_t saturation, float blend) {
    if (!m_dib) return false;
    if (!(blend > 0.0f)) blend = 0.0f;  // also NaN
    if (blend > 1.0f) blend = 1.0f;
    const long a0 = static_cast<long>(blend * 256.0f), a1 = 256 - a0;
    const bool full = blend > 0.999f;
    auto tint = [&](RGBQUAD p) {
        RGBQUAD hsl = RGBtoHSL(p);
        hsl.rgbRed = hue;
        hsl.rgbGreen = saturation;
        return HSLtoRGB(hsl);
    };
    if (!IsIndexed()) {
        pxops::WorkArea a = pxops::GetWorkArea(*this);
        for (long y = a.bottom; y < a.top; ++y)
            for (long x = a.left; x < a.right; ++x) {
                if (!SelectionIsInside(x, y)) continue;
                RGBQUAD p = BlindGetPixelColor(x, y);
                RGBQUAD t = tint(p);
                if (!full) {
                    t.rgbRed = static_cast<uint8_t>((t.rgbRed * a0 + p.rgbRed * a1) >> 8);
                    t.rgbGreen = static_cast<uint8_t>((t.rgbGreen * a0 + p.rgbGreen * a1) >> 8);
                    t.rgbBlue = static_cast<uint8_t>((t.rgbBlue * a0 + p.rgbBlue * a1) >> 8);
                }
                SetPixelColor(x, y, t, false);
            }
        return true;
    }
    RGBQUAD* pal = GetPalette();
    for (uint32_t j = 0; j < GetNumColors(); ++j) {
        RGBQUAD p = pal[j];
        RGBQUAD t = tint(p);
        if (!full) {
            auto mix = [&](uint8_t tv, uint8_t pv) {
                return TruncClamp(blend * static_cast<float>(tv) + (1.0f - blend) * static_cast<float>(pv));
            };
            t.rgbRed = mix(t.rgbRed, p.rgbRed);
            t.rgbGreen = mix(t.rgbGreen, p.rgbGreen);
            t.rgbBlue = mix(t.rgbBlue, p.rgbBlue);
        }
        t.rgbReserved = p.rgbReserved;
        pal[j] = t;
    }
    m_info.nearestValid = false;
    return true;
}
