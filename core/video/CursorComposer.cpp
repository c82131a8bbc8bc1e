#include "core/video/CursorComposer.h"

#include <algorithm>
#include <cstring>
#include <vector>

int CursorBoxSize(int bitmapWidth, int bitmapHeight) {
    static const int kSizes[] = {16, 32, 48, 64, 72, 96, 128, 256};
    int side = std::max(std::max(bitmapWidth, bitmapHeight), 0);
    for (int size : kSizes)
        if (size > side) return size;
    return std::min(side, kMaxCursorBox);
}

CvxRect CursorBox(const CursorShot& shot) {
    int size = CursorBoxSize(shot.bitmapWidth, shot.bitmapHeight);
    CvxRect box;
    box.left = shot.x - shot.xHotspot;
    box.top = shot.y - shot.yHotspot;
    box.right = box.left + size;
    box.bottom = box.top + size;
    return box;
}

namespace {

// The columns [x0, x1) of the box that lie on the surface, as box-relative offsets.
struct Span {
    int64_t first = 0;
    int64_t count = 0;
};

Span VisibleColumns(const CvxRect& box, int width, int pitch) {
    int64_t readable = pitch > 0 ? std::min<int64_t>(width, pitch / 4) : 0;
    int64_t x0 = std::max<int64_t>(box.left, 0);
    int64_t x1 = std::min<int64_t>(box.right, readable);
    Span span;
    if (x1 > x0) {
        span.first = x0 - box.left;
        span.count = x1 - x0;
    }
    return span;
}

}  // namespace

void ReadCursorBox(const uint8_t* frame, int width, int height, int pitch, const CvxRect& box,
                   uint8_t* pixels) {
    const int64_t size = int64_t(box.right) - box.left;
    if (size <= 0) return;
    std::memset(pixels, 0, size_t(size * size * 4));
    Span columns = VisibleColumns(box, width, pitch);
    if (columns.count == 0) return;
    for (int64_t i = 0; i < size; ++i) {  // i: box row from the top
        int64_t y = int64_t(box.top) + i;
        if (y < 0 || y >= height) continue;
        uint8_t* dest = pixels + size_t((size - 1 - i) * size + columns.first) * 4;
        const uint8_t* src = frame + size_t(y) * size_t(pitch) + size_t(box.left + columns.first) * 4;
        std::memcpy(dest, src, size_t(columns.count) * 4);
    }
}

void WriteCursorBox(uint8_t* frame, int width, int height, int pitch, const CvxRect& box,
                    const uint8_t* pixels) {
    const int64_t size = int64_t(box.right) - box.left;
    if (size <= 0) return;
    Span columns = VisibleColumns(box, width, pitch);
    if (columns.count == 0) return;
    for (int64_t i = 0; i < size; ++i) {
        int64_t y = int64_t(box.top) + i;
        if (y < 0 || y >= height) continue;
        const uint8_t* src = pixels + size_t((size - 1 - i) * size + columns.first) * 4;
        uint8_t* dest = frame + size_t(y) * size_t(pitch) + size_t(box.left + columns.first) * 4;
        std::memcpy(dest, src, size_t(columns.count) * 4);
    }
}

bool ComposeCursor(uint8_t* frame, int width, int height, int pitch, const CursorShot& shot,
                   ICursorImage& image, CvxRect* drawnBox) {
    if (!frame || !shot.showing || !shot.haveIcon || !shot.havePosition) return false;
    CvxRect box = CursorBox(shot);
    const int size = box.Width();
    std::vector<uint8_t> pixels(size_t(size) * size_t(size) * 4);
    ReadCursorBox(frame, width, height, pitch, box, pixels.data());
    if (!image.PaintOver(pixels.data(), size)) return false;
    WriteCursorBox(frame, width, height, pitch, box, pixels.data());
    if (drawnBox) *drawnBox = box;
    return true;
}
