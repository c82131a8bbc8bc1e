#include "image/codecs/PxImageJAS.h"

#include <cmath>
#include <cstdio>

#include "image/PxFile.h"
#include "image/codecs/jas/JasImage.h"

namespace {

// A sample as 8 bits: signed samples offset to unsigned, precisions above 8
// scaled down rather than cut.
uint8_t To8(int32_t value, int precision, bool isSigned) {
    int64_t v = value;
    if (isSigned) v += int64_t{1} << (precision - 1);
    int64_t top = (int64_t{1} << precision) - 1;
    if (v < 0) v = 0;
    if (v > top) v = top;
    if (precision == 8) return static_cast<uint8_t>(v);
    return static_cast<uint8_t>((v * 255 + top / 2) / top);
}

uint8_t Clamp(double v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : std::lround(v)); }

}  // namespace

std::string PxImageJAS::RateOption(uint8_t quality) {
    char text[32];
    std::snprintf(text, sizeof(text), "rate=%.3f", quality / 100.0);
    return text;
}

bool PxImageJAS::Decode(PxFile* stream, uint32_t formatCode) {
    (void)formatCode;  // the kind is recognised from the file
    if (!stream) return false;
    try {
        jas::Kind kind = jas::Recognize(stream);
        jas::Image image;
        uint64_t cap = GetMaxImageBytes();
        bool tooMany = false;
        bool ok = false;
        switch (kind) {
            case jas::kJp2:
            case jas::kJpc: ok = jas::ReadOpenJpeg(stream, kind == jas::kJpc, cap, image, &tooMany); break;
            case jas::kPgx: ok = jas::ReadPgx(stream, cap, image); break;
            case jas::kPnm: ok = jas::ReadPnm(stream, cap, image); break;
            case jas::kRas: ok = jas::ReadRas(stream, cap, image); break;
            default: break;
        }
        if (tooMany) throw "error: too much components";
        if (!ok) throw "error: cannot load image data";
        if (image.components.size() > jas::kMaxComponents) throw "error: too much components";
        const uint32_t code = static_cast<uint32_t>(kind);
        const std::vector<jas::Component>& comps = image.components;

        bool rgb = comps.size() == 3;
        for (size_t k = 1; k < comps.size() && rgb; ++k)
            rgb = comps[k].width == comps[0].width && comps[k].height == comps[0].height &&
                  comps[k].precision == comps[0].precision;
        if (rgb) {
            uint32_t width = comps[0].width, height = comps[0].height;
            if (!Create(width, height, 24, code)) throw "Can't allocate memory";
            bool sycc = image.space == jas::kSycc;
            for (uint32_t j = 0; j < height; ++j) {
                uint8_t* row = GetBits(height - 1 - j);
                for (uint32_t x = 0; x < width; ++x) {
                    size_t i = static_cast<size_t>(j) * width + x;
                    uint8_t c[3];
                    for (int k = 0; k < 3; ++k) c[k] = To8(comps[k].samples[i], comps[k].precision, comps[k].isSigned);
                    if (sycc) {
                        // Luma and offset chroma to red, green, blue.
                        double y = c[0], cb = c[1] - 128.0, cr = c[2] - 128.0;
                        c[0] = Clamp(y + 1.402 * cr);
                        c[1] = Clamp(y - 0.344136 * cb - 0.714136 * cr);
                        c[2] = Clamp(y + 1.772 * cb);
                    }
                    row[3 * x] = c[2];
                    row[3 * x + 1] = c[1];
                    row[3 * x + 2] = c[0];
                }
            }
        } else {
            // Every component is a frame; the requested one is what is left.
            int32_t frames = static_cast<int32_t>(comps.size());
            m_info.numFrames = frames;
            if (m_info.frame < 0 || m_info.frame >= frames) throw "wrong frame!";
            const jas::Component& c = comps[static_cast<size_t>(m_info.frame)];
            // 1 and 4-bit samples keep their depth with a grey palette of that size.
            bool keep = !c.isSigned && (c.precision == 1 || c.precision == 4 || c.precision == 8);
            uint32_t bits = keep ? static_cast<uint32_t>(c.precision) : 8;
            if (!Create(c.width, c.height, bits, code)) throw "Can't allocate memory";
            SetGrayPalette();
            for (uint32_t j = 0; j < c.height; ++j)
                for (uint32_t x = 0; x < c.width; ++x) {
                    int32_t s = c.samples[static_cast<size_t>(j) * c.width + x];
                    uint8_t index = keep ? static_cast<uint8_t>(s) : To8(s, c.precision, c.isSigned);
                    SetPixelIndex(static_cast<long>(x), static_cast<long>(c.height - 1 - j), index);
                }
        }
        m_info.formatCode = code;
        return true;
    } catch (const char* text) {
        SetError(text);
        return false;
    }
}

bool PxImageJAS::Encode(PxFile* stream, uint32_t formatCode) {
    if (EncodeSafeCheck(stream)) return false;
    try {
        bool grey = GetPalette() != nullptr;
        // Only an 8-bit image with the 256-level grey palette is written as one component.
        if (grey && !(GetBpp() == 8 && IsGrayScale())) throw "JasPer can save only RGB or GrayScale images";
        if (formatCode == PxFormatPGX && !grey) throw "PGX can save only GrayScale images";
        uint32_t width = GetWidth(), height = GetHeight();
        jas::Image image;
        image.space = grey ? jas::kGray : jas::kRgb;
        image.components.assign(grey ? 1 : 3, jas::Component());
        for (jas::Component& c : image.components) {
            c.width = width;
            c.height = height;
            c.samples.resize(static_cast<size_t>(width) * height);
        }
        for (uint32_t y = 0; y < height; ++y) {
            size_t start = static_cast<size_t>(height - 1 - y) * width;
            for (uint32_t x = 0; x < width; ++x) {
                if (grey) {
                    image.components[0].samples[start + x] = GetPixelIndex(static_cast<long>(x), static_cast<long>(y));
                } else {
                    RGBQUAD c = GetPixelColor(static_cast<long>(x), static_cast<long>(y), false);
                    image.components[0].samples[start + x] = c.rgbRed;
                    image.components[1].samples[start + x] = c.rgbGreen;
                    image.components[2].samples[start + x] = c.rgbBlue;
                }
            }
        }
        bool ok = false;
        switch (formatCode) {
            case PxFormatJP2:
            case PxFormatJPC: {
                // The rate option of a quality q is q / 100 of the lossless size:
                // OpenJPEG's compression ratio 100 / q; 100 is lossless.
                int quality = GetJpegQuality();
                ok = jas::WriteOpenJpeg(stream, formatCode == PxFormatJPC, image, quality);
                break;
            }
            case PxFormatPGX: ok = jas::WritePgx(stream, image); break;
            case PxFormatPNM: ok = jas::WritePnm(stream, image); break;
            case PxFormatRAS: ok = jas::WriteRas(stream, image); break;
            default: break;
        }
        if (!ok || !stream->Flush()) throw "error: cannot encode image\n";
        return true;
    } catch (const char* text) {
        SetError(text);
        return false;
    }
}
