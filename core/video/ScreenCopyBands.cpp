#include "core/video/ScreenCopyBands.h"

int ScreenCopyBandRows(int width) {
    if (width <= 0) return 1;
    const size_t rowBytes = size_t(width) * 4;
    const size_t rows = kScreenCopyBandBytes / rowBytes;
    return rows == 0 ? 1 : rows > size_t(0x7FFFFFFF) ? 0x7FFFFFFF : int(rows);
}
