// Images to and from Windows bitmaps, icons and clipboard memory blocks.
#include <windows.h>

#include <cstring>
#include <vector>

#include "foundation/WinHandles.h"
#include "image/PxImage.h"

HGLOBAL PxImage::CopyToHandle() const {
    if (!m_dib) return nullptr;
    uint32_t size = GetSize();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!block) return nullptr;
    uint8_t* p = static_cast<uint8_t*>(GlobalLock(block));
    if (!p) {
        GlobalFree(block);
        return nullptr;
    }
    // The header kept in the object is the current one (resolution changes land
    // there); palette and rows follow it as in the image's own block.
    std::memcpy(p, &m_header, sizeof(m_header));
    std::memcpy(p + sizeof(m_header), static_cast<const uint8_t*>(m_dib) + sizeof(m_header), size - sizeof(m_header));
    GlobalUnlock(block);
    return block;  // the caller owns it (or hands it to SetClipboardData)
}

HBITMAP PxImage::MakeBitmap(HDC dc) const {
    if (!m_dib) return nullptr;
    // The block's header may be stale after a resolution change: build the info
    // from the object's header and the block's palette.
    std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + GetPaletteSize() + sizeof(RGBQUAD));
    std::memcpy(info.data(), &m_header, sizeof(m_header));
    if (GetPaletteSize()) std::memcpy(info.data() + sizeof(m_header), GetPalette(), GetPaletteSize());
    const BITMAPINFO* bmi = reinterpret_cast<const BITMAPINFO*>(info.data());
    if (dc) return CreateDIBitmap(dc, &m_header, CBM_INIT, m_info.pixels, bmi, DIB_RGB_COLORS);

    UniqueDC mem(CreateCompatibleDC(nullptr));
    if (!mem) return nullptr;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(mem.get(), bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) std::memcpy(bits, m_info.pixels, m_header.biSizeImage);
    return bitmap;  // the caller owns it
}

bool PxImage::CreateFromHBITMAP(HBITMAP bitmap, HPALETTE palette) {
    if (!Destroy()) return false;
    if (!bitmap) return false;
    BITMAP bm;
    if (!::GetObjectW(bitmap, sizeof(bm), &bm)) {
        SetError("GetDIBits failed");
        return false;
    }
    if (!Create(static_cast<uint32_t>(bm.bmWidth), static_cast<uint32_t>(bm.bmHeight),
                static_cast<uint32_t>(bm.bmBitsPixel) * bm.bmPlanes, PxFormatUnknown))
        return false;
    WindowDC screen(nullptr);
    HPALETTE old = nullptr;
    if (palette && screen) {
        old = SelectPalette(screen.get(), palette, FALSE);
        RealizePalette(screen.get());
    }
    int rows = screen ? GetDIBits(screen.get(), bitmap, 0, GetHeight(), m_info.pixels, reinterpret_cast<BITMAPINFO*>(m_dib),
                                  DIB_RGB_COLORS)
                      : 0;
    if (old) SelectPalette(screen.get(), old, FALSE);
    screen.reset();
    // GetDIBits may rewrite fields of the header it was given; ours stays the truth.
    std::memcpy(m_dib, &m_header, sizeof(m_header));
    if (rows != static_cast<int>(GetHeight())) {
        // Never leave a valid-looking image of unset pixels behind.
        Destroy();
        SetError("GetDIBits failed");
        return false;
    }
    return true;
}

bool PxImage::CreateFromHICON(HICON icon) {
    if (!Destroy()) return false;
    if (!icon) return false;
    ICONINFO ii;
    if (!GetIconInfo(icon, &ii)) return false;
    // GetIconInfo hands over copies of the icon's bitmaps.
    UniqueBitmap colorBitmap(ii.hbmColor);
    UniqueBitmap maskBitmap(ii.hbmMask);
    bool ok = ii.hbmColor && CreateFromHBITMAP(ii.hbmColor);
    if (ok && ii.hbmMask) {
        PxImage mask;
        if (mask.CreateFromHBITMAP(ii.hbmMask) && mask.GetHeight() == GetHeight() * 2) {
            // A mask bitmap that also holds the XOR half: keep its AND half (the top rows).
            mask.Crop(0, 0, static_cast<long>(mask.GetWidth()), static_cast<long>(GetHeight()));
        }
        if (mask.IsValid() && mask.GrayScale() && mask.Negative()) AlphaSet(mask);
    }
    return ok;
}

bool PxImage::CreateFromHANDLE(HGLOBAL block) {
    if (!Destroy()) return false;
    if (!block) return false;
    SIZE_T size = GlobalSize(block);
    const uint8_t* p = static_cast<const uint8_t*>(GlobalLock(block));
    if (!p) return false;
    bool ok = size > 0 && CreateFromPackedDib(p, size);
    GlobalUnlock(block);
    return ok;
}

long PxImage::Stretch(HDC dc, long x, long y, long cx, long cy, DWORD rop) {
    if (!m_dib || !dc) return 0;
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, x, y, cx, cy, 0, 0, static_cast<int>(GetWidth()), static_cast<int>(GetHeight()), m_info.pixels,
                  reinterpret_cast<const BITMAPINFO*>(m_dib), DIB_RGB_COLORS, rop);
    return 1;
}

long PxImage::Stretch(HDC dc, const RECT& rect, DWORD rop) {
    return Stretch(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, rop);
}
