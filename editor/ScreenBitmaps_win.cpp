#include "editor/ScreenBitmaps.h"

#include <vector>

#include "editor/PixelateBitmap.h"
#include "foundation/Log.h"

namespace {

// A bottom-up DIB section of the screen's size; its bits in `bits`.
UniqueBitmap MakeSection(int width, int height, int bpp, const RGBQUAD* palette, int colours, void*& bits) {
    std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + sizeof(RGBQUAD) * static_cast<size_t>(colours > 0 ? colours : 1));
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = width;
    header->biHeight = height;   // positive: the bottom row first
    header->biPlanes = 1;
    header->biBitCount = static_cast<WORD>(bpp);
    header->biCompression = BI_RGB;
    header->biClrUsed = static_cast<DWORD>(colours);
    if (colours > 0) {
        auto* table = reinterpret_cast<RGBQUAD*>(info.data() + sizeof(BITMAPINFOHEADER));
        for (int i = 0; i < colours; ++i) table[i] = palette[i];
    }
    bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS, &bits,
                                         nullptr, 0));
    if (!bits) bitmap.reset();
    return bitmap;
}

size_t Stride(int width, int bpp) { return ((static_cast<size_t>(width) * bpp + 31) / 32) * 4; }

}  // namespace

bool ReadRgb24Rows(HBITMAP bitmap, Rgb24Rows& rows) {
    DIBSECTION section = {};
    if (!bitmap || GetObjectW(bitmap, sizeof(section), &section) != sizeof(section)) return false;
    if (!section.dsBm.bmBits || section.dsBmih.biBitCount != 24 || section.dsBmih.biHeight <= 0) return false;
    rows.bits = static_cast<const uint8_t*>(section.dsBm.bmBits);
    rows.width = section.dsBm.bmWidth;
    rows.height = section.dsBm.bmHeight;
    rows.stride = static_cast<size_t>(section.dsBm.bmWidthBytes);
    return rows.width > 0 && rows.height > 0;
}

UniqueBitmap MakeDimmedBitmap(const Rgb24Rows& screen) {
    uint8_t greys[256];
    DimmedGreyTable(greys);
    RGBQUAD palette[256];
    for (int i = 0; i < 256; ++i) palette[i] = RGBQUAD{greys[i], greys[i], greys[i], 0};
    void* bits = nullptr;
    UniqueBitmap bitmap = MakeSection(screen.width, screen.height, 8, palette, 256, bits);
    if (!bitmap) {
        Log("CSelectRegionDlg: no dimmed screen (%lu)\n", GetLastError());
        return bitmap;
    }
    const size_t stride = Stride(screen.width, 8);
    for (int y = 0; y < screen.height; ++y) {
        GreyLevelRow(screen.Row(y), static_cast<size_t>(screen.width), static_cast<uint8_t*>(bits) + stride * y);
    }
    return bitmap;
}

UniqueBitmap MakePixelatedBitmap(const Rgb24Rows& screen) {
    void* bits = nullptr;
    UniqueBitmap bitmap = MakeSection(screen.width, screen.height, 32, nullptr, 0, bits);
    if (!bitmap) {
        Log("CSelectRegionDlg::PrepareBlurBitmap: no bitmap (%lu)\n", GetLastError());
        return bitmap;
    }
    auto* pixels = static_cast<uint8_t*>(bits);
    const size_t stride = Stride(screen.width, 32);
    for (int y = 0; y < screen.height; ++y) BgrRowToBgrx(screen.Row(y), static_cast<size_t>(screen.width), pixels + stride * y);
    PixelatePixels(pixels, screen.width, screen.height);
    return bitmap;
}
