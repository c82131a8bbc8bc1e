#include "editor/PixelateBitmap.h"

#include <vector>

#include "foundation/BitmapBits.h"
#include "foundation/Log.h"
#include "foundation/WinHandles.h"

bool PixelateBitmap(HBITMAP bitmap) {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
    BITMAPINFO info;
    if (!GetBitmapBits32(bitmap, width, height, pixels, info)) {
        Log("PixelateBitmap: the bitmap cannot be read\n");
        return false;
    }
    PixelatePixels(pixels.data(), width, height);
    WindowDC screen(nullptr);
    UniqueDC memory(CreateCompatibleDC(screen.get()));
    const int rows = SetDIBits(memory.get(), bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    memory.reset();
    screen.reset();
    if (rows != height) {
        Log("PixelateBitmap: the bitmap cannot be written\n");
        return false;
    }
    return true;
}
