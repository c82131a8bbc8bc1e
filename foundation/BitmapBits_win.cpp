#include "foundation/BitmapBits.h"

#include <cstdlib>
#include <cstring>

#include "foundation/WinHandles.h"

namespace {

// 256 MiB of pixels is far beyond any screen this program captures.
constexpr uint64_t kMaxBytes = 256ull * 1024 * 1024;

}  // namespace

bool GetBitmapBits32(HBITMAP bitmap, int& width, int& height, std::vector<uint8_t>& pixels,
                     BITMAPINFO& info) {
    width = 0;
    height = 0;
    pixels.clear();
    std::memset(&info, 0, sizeof(info));
    UniqueDC dc(CreateCompatibleDC(nullptr));
    BITMAP bm = {};
    if (!dc.get() || !bitmap || GetObjectW(bitmap, sizeof(bm), &bm) == 0) return false;
    const int w = bm.bmWidth;
    const int h = std::abs(bm.bmHeight);
    if (w <= 0 || h <= 0) return false;
    const uint64_t rowBytes = ((static_cast<uint64_t>(w) * 32 + 31) / 32) * 4;
    const uint64_t size = rowBytes * static_cast<uint64_t>(h);
    if (size > kMaxBytes) return false;

    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;   // positive: rows come bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(size);

    pixels.assign(static_cast<size_t>(size), 0);
    if (GetDIBits(dc.get(), bitmap, 0, static_cast<UINT>(h), pixels.data(), &info,
                  DIB_RGB_COLORS) != h) {
        pixels.clear();
        std::memset(&info, 0, sizeof(info));
        return false;
    }
    width = w;
    height = h;
    return true;
}
