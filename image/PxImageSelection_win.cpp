// Conversion of the selection mask to a GDI region.
#include <windows.h>

#include "foundation/WinHandles.h"
#include "image/PxImage.h"

bool PxImage::SelectionToHRGN(HRGN__*& region) const {
    if (!m_selection || !region) return false;
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    for (long y = 0; y < h; ++y) {
        const uint8_t* row = m_selection + y * w;
        long x = 0;
        while (x < w) {
            if (row[x] != 255) {
                ++x;
                continue;
            }
            long x0 = x;
            while (x < w && row[x] == 255) ++x;
            UniqueRegion part(CreateRectRgn(x0, y, x, y + 1));
            if (part) CombineRgn(region, region, part.get(), RGN_OR);
        }
    }
    return true;
}
