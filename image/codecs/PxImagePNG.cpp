#include "image/codecs/PxImagePNG.h"

#include <png.h>

#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "image/PxFile.h"

namespace {
struct PngContext {
    PxFile* stream;
    char* errorText;  // 256 bytes
};

void PxPngReadData(png_structp png, png_bytep data, size_t length) {
    PngContext* ctx = static_cast<PngContext*>(png_get_io_ptr(png));
    if (ctx->stream->Read(data, 1, length) != length) png_error(png, "Read Error");
}

void PxPngWriteData(png_structp png, png_bytep data, size_t length) {
    PngContext* ctx = static_cast<PngContext*>(png_get_io_ptr(png));
    if (ctx->stream->Write(data, 1, length) != length) png_error(png, "Write Error");
}

void PxPngFlushData(png_structp png) {
    PngContext* ctx = static_cast<PngContext*>(png_get_io_ptr(png));
    if (!ctx->stream->Flush()) png_error(png, "Flush Error");
}

// Keeps libpng's message as the image's error text and returns to the codec.
void PxPngErrorFn(png_structp png, png_const_charp message) {
    PngContext* ctx = static_cast<PngContext*>(png_get_error_ptr(png));
    if (ctx && ctx->errorText) {
        std::strncpy(ctx->errorText, message ? message : "", 255);
        ctx->errorText[255] = '\0';
    }
    png_longjmp(png, 1);
}

void PxPngWarningFn(png_structp, png_const_charp) {}

constexpr png_alloc_size_t kMaxChunkBytes = 8u << 20;

int32_t DpiFromPelsPerMeter(png_uint_32 ppm) {
    return static_cast<int32_t>(std::floor(ppm * 254.0 / 10000.0 + 0.5));
}
}  // namespace

struct PxImagePNG::DecodeState {
    PngContext ctx;
    png_structp png = nullptr;
    png_infop info = nullptr;
    uint8_t* rowBuffer = nullptr;   // one row, or all rows of an interlaced file
    size_t rowBytes = 0;
};

struct PxImagePNG::EncodeState {
    PngContext ctx;
    png_structp png = nullptr;
    png_infop info = nullptr;
    uint8_t* rowBuffer = nullptr;
    png_color* palette = nullptr;
    char libpngText[256];
};

void PxImagePNG::Expand2BppTo4Bpp(uint8_t* row, uint32_t width) {
    for (int64_t x = static_cast<int64_t>(width) - 1; x >= 0; --x) {
        uint8_t v = static_cast<uint8_t>((row[x >> 2] >> (6 - 2 * (x & 3))) & 3);
        uint8_t& dst = row[x >> 1];
        if (x & 1) dst = static_cast<uint8_t>((dst & 0xF0) | v);
        else dst = static_cast<uint8_t>((dst & 0x0F) | (v << 4));
    }
}

bool PxImagePNG::Decode(PxFile* stream) {
    if (!stream) return false;
    DecodeState s;
    s.ctx.stream = stream;
    s.ctx.errorText = m_info.lastError;
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s.ctx, PxPngErrorFn, PxPngWarningFn);
    if (!s.png) {
        SetError("Failed to create PNG structure");
        return false;
    }
    s.info = png_create_info_struct(s.png);
    if (!s.info) {
        png_destroy_read_struct(&s.png, nullptr, nullptr);
        SetError("Failed to initialize PNG info structure");
        return false;
    }
    bool ok = DecodeRows(s);
    std::free(s.rowBuffer);
    png_destroy_read_struct(&s.png, &s.info, nullptr);
    if (!ok) Destroy();
    return ok;
}

bool PxImagePNG::DecodeRows(DecodeState& s) {
    if (setjmp(png_jmpbuf(s.png))) return false;
    png_structp png = s.png;
    png_infop info = s.info;
    png_set_read_fn(png, &s.ctx, PxPngReadData);
    // Only IHDR, PLTE, tRNS, bKGD, pHYs and the image data are used; every other
    // chunk is skipped unread. That also keeps libpng from buffering a text or
    // profile chunk whose length field (up to 2 GB) comes from the file, and, with
    // the gamma chunks gone, libpng composites plainly (background gamma 1.0
    // below) and never gamma-corrects opaque files.
    static const png_byte kIgnoredChunks[] = {
        't', 'E', 'X', 't', 0, 'z', 'T', 'X', 't', 0, 'i', 'T', 'X', 't', 0, 'i', 'C', 'C', 'P', 0,
        's', 'P', 'L', 'T', 0, 'e', 'X', 'I', 'f', 0, 'p', 'C', 'A', 'L', 0, 's', 'C', 'A', 'L', 0,
        'h', 'I', 'S', 'T', 0, 's', 'B', 'I', 'T', 0, 't', 'I', 'M', 'E', 0, 'o', 'F', 'F', 's', 0,
        'g', 'A', 'M', 'A', 0, 's', 'R', 'G', 'B', 0, 'c', 'H', 'R', 'M', 0};
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnoredChunks,
                                static_cast<int>(sizeof(kIgnoredChunks) / 5));
    png_set_chunk_malloc_max(png, kMaxChunkBytes);
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    // Fuzz builds only: mutated inputs reach the decoder instead of failing the CRC.
    png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#endif
    png_read_info(png, info);

    png_uint_32 width = png_get_image_width(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    int colorType = png_get_color_type(png, info);
    int bitDepth = png_get_bit_depth(png, info);
    int pixelDepth = bitDepth * png_get_channels(png, info);

    // tRNS is read before the transformations (compositing consumes it).
    png_bytep trans = nullptr;
    int transCount = 0;
    png_color_16p transValue = nullptr;
    bool hasTrns = png_get_tRNS(png, info, &trans, &transCount, &transValue) != 0;
    png_byte transCopy[256];
    if (hasTrns && colorType == PNG_COLOR_TYPE_PALETTE && trans) {
        if (transCount > 256) transCount = 256;
        std::memcpy(transCopy, trans, static_cast<size_t>(transCount));
    } else {
        transCount = 0;
    }

    png_color_16p fileBackground = nullptr;
    bool hasBackground = png_get_bKGD(png, info, &fileBackground) != 0 && fileBackground;
    bool hasTransparency = hasTrns || (colorType & PNG_COLOR_MASK_ALPHA);
    if (pixelDepth != 32) {
        // Everything but 8-bit RGBA and 16-bit grey+alpha is flattened by libpng
        // (opaque files have nothing to flatten).
        if (hasTransparency && hasBackground) {
            png_set_background(png, fileBackground, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
        } else if (hasTransparency) {
            png_color_16 grey = {0, 192, 192, 192, 192};
            png_set_background(png, &grey, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
        }
    } else if (hasBackground) {
        RGBQUAD c = {static_cast<uint8_t>(fileBackground->blue), static_cast<uint8_t>(fileBackground->green),
                     static_cast<uint8_t>(fileBackground->red), 0};
        if (bitDepth == 16) {
            c.rgbBlue = static_cast<uint8_t>(fileBackground->gray >> 8);
            c.rgbGreen = c.rgbRed = c.rgbBlue;
        }
        SetTransColor(c);
    }
    png_set_strip_16(png);

    bool wantAlpha = colorType == PNG_COLOR_TYPE_RGB_ALPHA ||
                     (colorType == PNG_COLOR_TYPE_GRAY_ALPHA && pixelDepth == 32);
    if (wantAlpha) {
        if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
            png_set_gray_to_rgb(png);
            png_set_expand(png);
        }
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    }
    if (colorType & PNG_COLOR_MASK_COLOR) png_set_bgr(png);
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);

    // The image follows the rows as libpng delivers them after the transformations
    // (a palette file with bKGD, for example, arrives expanded to RGB).
    int outChannels = png_get_channels(png, info);
    int outDepth = png_get_bit_depth(png, info);
    int outPixelDepth = outChannels * outDepth;
    s.rowBytes = png_get_rowbytes(png, info);
    bool alphaRows = outChannels == 4;
    uint32_t bpp;
    switch (outPixelDepth) {
        case 1: case 2: case 4: case 8: bpp = static_cast<uint32_t>(outPixelDepth); break;
        case 24: bpp = 24; break;
        case 32: bpp = alphaRows ? 24 : 0; break;
        default: bpp = 0; break;
    }
    if (bpp == 0) png_error(png, "Unsupported PNG pixel format");
    if (!Create(width, height, bpp, PxFormatPNG)) return false;

    png_uint_32 xppm = 0, yppm = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &xppm, &yppm, &unit) && unit == PNG_RESOLUTION_METER) {
        SetXDPI(DpiFromPelsPerMeter(xppm));
        SetYDPI(DpiFromPelsPerMeter(yppm));
    }  // no unit: an aspect ratio only, the 96 dpi default stays

    bool indexed = bpp <= 8;
    bool paletteRows = indexed && (png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE);
    if (indexed) {
        png_colorp plte = nullptr;
        int plteCount = 0;
        if (paletteRows && png_get_PLTE(png, info, &plte, &plteCount) && plte) {
            RGBQUAD* pal = GetPalette();
            int n = plteCount < static_cast<int>(GetNumColors()) ? plteCount : static_cast<int>(GetNumColors());
            for (int i = 0; i < n; ++i) pal[i] = RGBQUAD{plte[i].blue, plte[i].green, plte[i].red, 0};
        } else if (outPixelDepth == 2) {
            static const uint8_t kGrey[4] = {0, 85, 170, 255};
            for (uint8_t i = 0; i < 4; ++i) SetPaletteColor(i, kGrey[i], kGrey[i], kGrey[i]);
        } else {
            SetGrayPalette();
        }
        if (paletteRows && transCount > 0) {
            RGBQUAD* pal = GetPalette();
            int n = static_cast<int>(GetNumColors());
            for (int i = 0; i < n && i < transCount; ++i) pal[i].rgbReserved = transCopy[i];
            if (transCount == 1 && transCopy[0] == 0) {
                SetTransIndex(0);
            } else {
                AlphaPaletteEnable(true);
                for (int i = transCount; i < n; ++i) pal[i].rgbReserved = 255;
            }
        }
    }
    if (alphaRows) {
        AlphaCreate();
        if (!AlphaIsValid()) png_error(png, "PxImage::Create can't allocate memory");
    }
    if (m_info.escape) png_error(png, "Cancelled");
    SetCodecOption(passes > 1 ? 1 : 0, PxFormatPNG);

    // An interlaced file is read whole, each pass merging into the rows of the
    // previous ones; a plain one a row at a time.
    uint64_t bufferBytes = static_cast<uint64_t>(s.rowBytes) * (passes > 1 ? height : 1);
    if (bufferBytes > GetMaxImageBytes()) png_error(png, "PxImage::Create can't allocate memory");
    s.rowBuffer = static_cast<uint8_t*>(std::calloc(1, static_cast<size_t>(bufferBytes) + 16));
    if (!s.rowBuffer) png_error(png, "PxImage::Create can't allocate memory");

    auto storeRow = [&](const uint8_t* src, uint32_t fileRow) {
        uint32_t y = height - 1 - fileRow;  // files are top-down
        uint8_t* dst = GetBits(y);
        if (alphaRows) {
            uint8_t* alpha = AlphaGetPointer(0, static_cast<long>(y));
            for (uint32_t x = 0; x < width; ++x) {
                dst[3 * x] = src[4 * x];
                dst[3 * x + 1] = src[4 * x + 1];
                dst[3 * x + 2] = src[4 * x + 2];
                alpha[x] = src[4 * x + 3];
            }
        } else if (outPixelDepth == 2) {
            std::memcpy(dst, src, s.rowBytes);
            Expand2BppTo4Bpp(dst, width);
        } else {
            std::memcpy(dst, src, s.rowBytes < GetEffWidth() ? s.rowBytes : GetEffWidth());
        }
    };

    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 row = 0; row < height; ++row) {
            if (m_info.escape) png_error(png, "Cancelled");
            uint8_t* buffer = s.rowBuffer + (passes > 1 ? s.rowBytes * row : 0);
            png_read_row(png, buffer, nullptr);
            if (passes == 1) storeRow(buffer, row);
        }
        SetProgress(static_cast<int32_t>(100 * (pass + 1) / passes));
    }
    if (passes > 1)
        for (png_uint_32 row = 0; row < height; ++row) storeRow(s.rowBuffer + s.rowBytes * row, row);
    png_read_end(png, nullptr);
    return true;
}

bool PxImagePNG::Encode(PxFile* stream) {
    if (EncodeSafeCheck(stream)) return false;
    EncodeState s;
    s.ctx.stream = stream;
    s.libpngText[0] = '\0';
    s.ctx.errorText = s.libpngText;
    s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &s.ctx, PxPngErrorFn, PxPngWarningFn);
    if (!s.png) {
        SetError("Failed to create PNG structure");
        return false;
    }
    s.info = png_create_info_struct(s.png);
    if (!s.info) {
        png_destroy_write_struct(&s.png, nullptr);
        SetError("Failed to initialize PNG info structure");
        return false;
    }
    bool ok = EncodeRows(s);
    std::free(s.rowBuffer);
    std::free(s.palette);
    png_destroy_write_struct(&s.png, &s.info);
    if (!ok) SetError("Error saving PNG file");
    return ok;
}

bool PxImagePNG::EncodeRows(EncodeState& s) {
    if (setjmp(png_jmpbuf(s.png))) return false;
    png_structp png = s.png;
    png_infop info = s.info;
    png_set_write_fn(png, &s.ctx, PxPngWriteData, PxPngFlushData);

    uint32_t width = GetWidth(), height = GetHeight();
    uint32_t bpp = GetBpp();
    bool indexed = IsIndexed();
    int interlace = GetCodecOption(PxFormatPNG) == 1 ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE;
    // A transparent index outside the palette means no transparency.
    int32_t transIndex = m_info.transIndex;
    if (indexed && transIndex >= static_cast<int32_t>(GetNumColors())) transIndex = -1;
    // RGBA rows for an alpha plane, and for a 24-bit transparent colour (applied
    // while the rows are filled, never to the caller's own alpha plane).
    bool rgba = AlphaIsValid() || (!indexed && transIndex >= 0);

    png_color_16 background = {0, 255, 255, 255, 255};
    if (transIndex >= 0) {
        RGBQUAD t = indexed ? GetPaletteColor(static_cast<uint8_t>(transIndex)) : m_info.transColor;
        background.red = t.rgbRed;
        background.green = t.rgbGreen;
        background.blue = t.rgbBlue;
    }

    if (indexed && !rgba) {
        png_set_IHDR(png, info, width, height, static_cast<int>(bpp), PNG_COLOR_TYPE_PALETTE, interlace,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_byte transparent[256];
        if (transIndex >= 0) {
            if (transIndex != 0) {
                SwapIndex(0, static_cast<uint8_t>(transIndex));
                if (m_info.ghost) m_info.ghost->SetTransIndex(0);
                m_info.transIndex = 0;
            }
            transparent[0] = 0;
            png_set_tRNS(png, info, transparent, 1, nullptr);
        }
        uint32_t count = GetNumColors();
        if (count > 2 && static_cast<uint64_t>(width) * height < 65536) {
            uint32_t highest = 0;
            for (uint32_t y = 0; y < height; ++y)
                for (uint32_t x = 0; x < width; ++x) {
                    uint32_t v = BlindGetPixelIndex(x, y);
                    if (v > highest) highest = v;
                }
            count = highest + 1;
        }
        RGBQUAD* pal = GetPalette();
        if (AlphaPaletteIsEnabled()) {
            for (uint32_t i = 0; i < count; ++i) transparent[i] = pal[i].rgbReserved;
            png_set_tRNS(png, info, transparent, static_cast<int>(count), nullptr);
        }
        s.palette = static_cast<png_color*>(std::malloc(sizeof(png_color) * 256));
        if (!s.palette) png_error(png, "out of memory");
        for (uint32_t i = 0; i < count; ++i) s.palette[i] = png_color{pal[i].rgbRed, pal[i].rgbGreen, pal[i].rgbBlue};
        png_set_PLTE(png, info, s.palette, static_cast<int>(count));
        background.index = 0;
    } else {
        png_set_IHDR(png, info, width, height, 8, rgba ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, interlace,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    }
    png_set_bKGD(png, info, &background);
    png_set_pHYs(png, info, static_cast<png_uint_32>(m_header.biXPelsPerMeter),
                 static_cast<png_uint_32>(m_header.biYPelsPerMeter), PNG_RESOLUTION_METER);
    png_write_info(png, info);

    size_t bufferBytes = rgba ? static_cast<size_t>(width) * 4 + 10 : static_cast<size_t>(GetEffWidth()) + 10;
    s.rowBuffer = static_cast<uint8_t*>(std::malloc(bufferBytes));
    if (!s.rowBuffer) png_error(png, "out of memory");
    int passes = png_set_interlace_handling(png);
    RGBQUAD transColor = transIndex >= 0 ? GetTransColor() : RGBQUAD{0, 0, 0, 0};
    for (int pass = 0; pass < passes; ++pass) {
        for (int64_t y = static_cast<int64_t>(height) - 1; y >= 0; --y) {
            uint8_t* buffer = s.rowBuffer;
            if (rgba) {
                for (uint32_t x = 0; x < width; ++x) {
                    RGBQUAD c = GetPixelColor(static_cast<long>(x), static_cast<long>(y), false);
                    uint32_t a = AlphaIsValid() ? BlindAlphaGet(x, static_cast<long>(y)) * m_info.alphaMax / 255 : 255;
                    if (transIndex >= 0) {
                        bool isTrans = indexed ? BlindGetPixelIndex(x, static_cast<long>(y)) == transIndex
                                               : (c.rgbRed == transColor.rgbRed && c.rgbGreen == transColor.rgbGreen &&
                                                  c.rgbBlue == transColor.rgbBlue);
                        if (isTrans) a = 0;
                    }
                    buffer[4 * x] = c.rgbRed;
                    buffer[4 * x + 1] = c.rgbGreen;
                    buffer[4 * x + 2] = c.rgbBlue;
                    buffer[4 * x + 3] = static_cast<uint8_t>(a);
                }
            } else {
                std::memcpy(buffer, GetBits(static_cast<uint32_t>(y)), GetEffWidth());
                if (!indexed) RGBtoBGR(buffer, static_cast<long>(GetEffWidth()));
            }
            png_write_row(png, buffer);
        }
    }
    png_write_end(png, info);
    return true;
}
