#include "image/PxImage.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "image/PxFile.h"
#include "image/PxIOFile.h"
#include "image/PxMemFile.h"

namespace {
#if UINTPTR_MAX > 0xFFFFFFFFu
constexpr uint64_t kDefaultMaxImageBytes = 0x7FFFFFFF;  // 2 GiB - 1
#else
constexpr uint64_t kDefaultMaxImageBytes = 0x40000000;  // 1 GiB in a 32-bit process
#endif
std::atomic<uint64_t> g_maxImageBytes{kDefaultMaxImageBytes};

// A resolution from a file may be anything: the result is kept within 32 bits.
int32_t DpiToPelsPerMeter(int32_t dpi) {
    double ppm = std::floor(dpi * 10000.0 / 254.0 + 0.5);
    if (ppm >= 2147483647.0) return 2147483647;
    if (ppm <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(ppm);
}
}  // namespace

uint64_t PxImage::GetMaxImageBytes() { return g_maxImageBytes.load(std::memory_order_relaxed); }

void PxImage::SetMaxImageBytes(uint64_t bytes) {
    if (bytes == 0 || bytes > kDefaultMaxImageBytes) bytes = kDefaultMaxImageBytes;
    g_maxImageBytes.store(bytes, std::memory_order_relaxed);
}

PxImage::PxImage(uint32_t formatCode) { Startup(formatCode); }

PxImage::PxImage(uint32_t width, uint32_t height, uint32_t bpp, uint32_t formatCode) {
    Startup(formatCode);
    Create(width, height, bpp, formatCode);
}

PxImage::PxImage(const PxImage& source, bool copyPixels, bool copySelection, bool copyAlpha) {
    Startup(source.m_info.formatCode);
    Copy(source, copyPixels, copySelection, copyAlpha);
}

PxImage::PxImage(const PxPathChar* path, uint32_t formatCode) {
    Startup(formatCode);
    Load(path, formatCode);
}

PxImage::PxImage(FILE* file, uint32_t formatCode) {
    Startup(formatCode);
    Decode(file, formatCode);
}

PxImage::PxImage(PxFile* stream, uint32_t formatCode) {
    Startup(formatCode);
    Decode(stream, formatCode);
}

PxImage::PxImage(uint8_t* buffer, uint32_t size, uint32_t formatCode) {
    Startup(formatCode);
    Decode(buffer, size, formatCode);
}

PxImage& PxImage::operator=(const PxImage& source) {
    if (this != &source) Copy(source);
    return *this;
}

PxImage::~PxImage() { Destroy(); }

void PxImage::Startup(uint32_t formatCode) {
    m_dib = nullptr;
    m_selection = nullptr;
    m_alpha = nullptr;
    m_subImages = nullptr;
    std::memset(&m_header, 0, sizeof(m_header));
    std::memset(&m_info, 0, sizeof(m_info));
    m_info.formatCode = formatCode;
    m_info.jpegQuality = 90;
    m_info.alphaMax = 255;
    m_info.transIndex = -1;
    m_info.enabled = true;
    SetXDPI(96);
    SetYDPI(96);
}

void PxImage::SetError(const char* text) {
    if (!text) text = "";
    std::strncpy(m_info.lastError, text, sizeof(m_info.lastError) - 1);
    m_info.lastError[sizeof(m_info.lastError) - 1] = '\0';
}

void* PxImage::Create(uint32_t width, uint32_t height, uint32_t bpp, uint32_t formatCode) {
    if (!Destroy()) return nullptr;
    if (width == 0 || height == 0) {
        SetError("PxImage::Create : width and height must be greater than zero");
        return nullptr;
    }
    if (bpp <= 1) bpp = 1;
    else if (bpp <= 4) bpp = 4;
    else if (bpp <= 8) bpp = 8;
    else bpp = 24;

    uint32_t colors = bpp == 1 ? 2 : bpp == 4 ? 16 : bpp == 8 ? 256 : 0;
    // Every size in 64 bits and under the cap, so that a header field taken from a
    // file can never wrap into a small block that a decoder then writes past.
    uint64_t rowSize = ((static_cast<uint64_t>(width) * bpp + 31) >> 5) * 4;
    uint64_t imageBytes = rowSize * height;
    uint64_t total = sizeof(BITMAPINFOHEADER) + colors * sizeof(RGBQUAD) + imageBytes;
    uint64_t planeBytes = static_cast<uint64_t>(width) * height;
    uint64_t cap = GetMaxImageBytes();
    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF || total > cap || planeBytes > cap) {
        SetError("PxImage::Create can't allocate memory");
        return nullptr;
    }

    std::memset(&m_header, 0, sizeof(m_header));
    m_header.biSize = sizeof(BITMAPINFOHEADER);
    m_header.biWidth = static_cast<LONG>(width);
    m_header.biHeight = static_cast<LONG>(height);
    m_header.biPlanes = 1;
    m_header.biBitCount = static_cast<WORD>(bpp);
    m_header.biCompression = BI_RGB;
    m_header.biSizeImage = static_cast<DWORD>(imageBytes);
    m_header.biXPelsPerMeter = DpiToPelsPerMeter(m_info.xDpi);
    m_header.biYPelsPerMeter = DpiToPelsPerMeter(m_info.yDpi);
    m_header.biClrUsed = colors;
    m_header.biClrImportant = 0;
    m_info.rowSize = static_cast<uint32_t>(rowSize);
    m_info.formatCode = formatCode;
    m_info.nearestValid = false;

    // Zeroed, so that a truncated file never shows what the heap held before.
    m_dib = std::calloc(1, static_cast<size_t>(total));
    if (!m_dib) {
        SetError("PxImage::Create can't allocate memory");
        return nullptr;
    }
    std::memcpy(m_dib, &m_header, sizeof(m_header));
    m_info.pixels = static_cast<uint8_t*>(m_dib) + sizeof(BITMAPINFOHEADER) + colors * sizeof(RGBQUAD);
    return m_dib;
}

bool PxImage::Destroy() {
    if (m_info.ghost) return false;
    if (m_subImages) {
        for (int32_t i = 0; i < m_info.numSubImages; ++i) delete m_subImages[i];
        std::free(m_subImages);
        m_subImages = nullptr;
        m_info.numSubImages = 0;
    }
    std::free(m_selection);
    m_selection = nullptr;
    std::free(m_alpha);
    m_alpha = nullptr;
    std::free(m_dib);
    m_dib = nullptr;
    // Width, height and the rest stay readable; the pixel pointer must not dangle.
    m_info.pixels = nullptr;
    return true;
}

void PxImage::CopyInfo(const PxImage& source) {
    if (m_dib) return;
    Info keep = m_info;
    m_info = source.m_info;
    // Never take another image's buffers or ownership with its settings.
    m_info.pixels = keep.pixels;
    m_info.ghost = keep.ghost;
    m_info.numSubImages = keep.numSubImages;
}

void PxImage::Copy(const PxImage& source, bool copyPixels, bool copySelection, bool copyAlpha) {
    if (&source == this) return;
    if (m_info.ghost) return;
    Info keep = m_info;
    m_info = source.m_info;
    m_info.pixels = keep.pixels;
    m_info.ghost = nullptr;
    m_info.numSubImages = keep.numSubImages;
    if (!source.m_dib) {
        Destroy();
        m_header = source.m_header;
        m_info.rowSize = source.m_info.rowSize;
        return;
    }
    if (!Create(source.GetWidth(), source.GetHeight(), source.GetBpp(), source.m_info.formatCode)) return;
    if (copyPixels) {
        std::memcpy(m_dib, source.m_dib, source.GetSize());
        m_header = source.m_header;
    } else if (GetPalette() && source.GetPalette()) {
        uint32_t bytes = source.GetPaletteSize() < GetPaletteSize() ? source.GetPaletteSize() : GetPaletteSize();
        std::memcpy(GetPalette(), source.GetPalette(), bytes);
    }
    size_t plane = static_cast<size_t>(GetWidth()) * GetHeight();
    if (copySelection && source.m_selection) {
        m_selection = static_cast<uint8_t*>(std::malloc(plane));
        if (m_selection) std::memcpy(m_selection, source.m_selection, plane);
    }
    if (copyAlpha && source.m_alpha) {
        m_alpha = static_cast<uint8_t*>(std::malloc(plane));
        if (m_alpha) std::memcpy(m_alpha, source.m_alpha, plane);
    }
}

bool PxImage::Transfer(PxImage& from) {
    if (&from == this) return true;
    if (!Destroy()) return false;
    m_header = from.m_header;
    m_info = from.m_info;
    m_info.ghost = nullptr;
    m_dib = from.m_dib;
    m_selection = from.m_selection;
    m_alpha = from.m_alpha;
    m_subImages = from.m_subImages;
    std::memset(&from.m_header, 0, sizeof(from.m_header));
    std::memset(&from.m_info, 0, sizeof(from.m_info));
    from.m_dib = nullptr;
    from.m_selection = nullptr;
    from.m_alpha = nullptr;
    from.m_subImages = nullptr;
    return true;
}

void PxImage::Ghost(const PxImage* source) {
    if (!source) return;
    m_header = source->m_header;
    m_info = source->m_info;
    m_dib = source->m_dib;
    m_selection = source->m_selection;
    m_alpha = source->m_alpha;
    m_subImages = source->m_subImages;
    m_info.ghost = const_cast<PxImage*>(source);
}

bool PxImage::CreateFromLines(const std::function<const uint8_t*(uint32_t)>& lineAt, uint32_t width,
                              uint32_t height, uint32_t bpp, uint32_t bytesPerLine, bool flip) {
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return false;
    // A 32-bit source line must hold every pixel of the row.
    if (bpp == 32 && static_cast<uint64_t>(bytesPerLine) < static_cast<uint64_t>(width) * 4) return false;
    if (!Create(width, height, bpp, PxFormatUnknown)) return false;
    if (bpp < 24) SetGrayPalette();
    if (bpp == 32) AlphaCreate();
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* src = lineAt(y);
        if (!src) continue;
        uint32_t row = flip ? height - 1 - y : y;
        uint8_t* dst = m_info.pixels + static_cast<size_t>(m_info.rowSize) * row;
        if (bpp == 32) {
            uint8_t* alpha = m_alpha ? m_alpha + static_cast<size_t>(width) * row : nullptr;
            for (uint32_t x = 0; x < width; ++x) {
                dst[3 * x] = src[4 * x];
                dst[3 * x + 1] = src[4 * x + 1];
                dst[3 * x + 2] = src[4 * x + 2];
                if (alpha) alpha[x] = src[4 * x + 3];
            }
        } else {
            std::memcpy(dst, src, bytesPerLine < m_info.rowSize ? bytesPerLine : m_info.rowSize);
        }
    }
    return true;
}

bool PxImage::CreateFromArray(uint8_t* pixels, uint32_t width, uint32_t height, uint32_t bpp,
                              uint32_t bytesPerLine, bool flip) {
    if (!pixels) return false;
    return CreateFromLines([&](uint32_t y) { return pixels + static_cast<size_t>(bytesPerLine) * y; }, width,
                           height, bpp, bytesPerLine, flip);
}

bool PxImage::CreateFromMatrix(uint8_t** rows, uint32_t width, uint32_t height, uint32_t bpp,
                               uint32_t bytesPerLine, bool flip) {
    if (!rows) return false;
    return CreateFromLines([&](uint32_t y) { return static_cast<const uint8_t*>(rows[y]); }, width, height, bpp,
                           bytesPerLine, flip);
}

void PxImage::Clear(uint8_t value) {
    if (!m_dib) return;
    if (m_header.biBitCount == 1 && value) value = 255;
    if (m_header.biBitCount == 4) value = static_cast<uint8_t>((value & 15) * 17);
    std::memset(m_info.pixels, value, m_header.biSizeImage);
}

uint8_t* PxImage::GetBits(uint32_t row) {
    if (!m_dib || row >= GetHeight()) return nullptr;
    return m_info.pixels + static_cast<size_t>(m_info.rowSize) * row;
}

uint32_t PxImage::GetSize() const {
    return static_cast<uint32_t>(sizeof(BITMAPINFOHEADER)) + GetPaletteSize() + m_header.biSizeImage;
}

bool PxImage::IsInside(long x, long y) const {
    return x >= 0 && y >= 0 && x < static_cast<long>(GetWidth()) && y < static_cast<long>(GetHeight());
}

void PxImage::FreeMemory(void* memory) { std::free(memory); }

uint8_t PxImage::GetColorType() const {
    if (m_alpha) return 4;
    return m_header.biBitCount <= 8 ? 1 : 2;
}

RGBQUAD PxImage::GetTransColor() const {
    if (m_header.biBitCount < 24 && m_info.transIndex >= 0 && m_info.transIndex < 256)
        return GetPaletteColor(static_cast<uint8_t>(m_info.transIndex));
    return m_info.transColor;
}

void PxImage::SetTransColor(RGBQUAD color) {
    color.rgbReserved = 0;
    m_info.transColor = color;
}

void PxImage::SetXDPI(int32_t dpi) {
    if (dpi <= 0) dpi = 96;
    m_info.xDpi = dpi;
    m_header.biXPelsPerMeter = DpiToPelsPerMeter(dpi);
}

void PxImage::SetYDPI(int32_t dpi) {
    if (dpi <= 0) dpi = 96;
    m_info.yDpi = dpi;
    m_header.biYPelsPerMeter = DpiToPelsPerMeter(dpi);
}

void PxImage::GetOffset(int32_t* x, int32_t* y) const {
    if (x) *x = m_info.xOffset;
    if (y) *y = m_info.yOffset;
}

void PxImage::SetOffset(int32_t x, int32_t y) {
    m_info.xOffset = x;
    m_info.yOffset = y;
}

void PxImage::SetFlags(uint32_t flags, bool lockReserved) {
    m_info.flags = lockReserved ? (flags & 0xFFFF) : flags;
}

uint32_t PxImage::GetCodecOption(uint32_t formatCode) const {
    if (formatCode >= PxMaxFormats) return 0;
    if (formatCode == 0) formatCode = m_info.formatCode;
    if (formatCode >= PxMaxFormats) return 0;
    return m_info.codecOptions[formatCode];
}

bool PxImage::SetCodecOption(uint32_t option, uint32_t formatCode) {
    if (formatCode >= PxMaxFormats) return false;
    if (formatCode == 0) formatCode = m_info.formatCode;
    if (formatCode >= PxMaxFormats) return false;
    m_info.codecOptions[formatCode] = option;
    return true;
}

const wchar_t* PxImage::GetVersion() { return L"PxImage 5.99c"; }

float PxImage::GetVersionNumber() { return 5.99003f; }
