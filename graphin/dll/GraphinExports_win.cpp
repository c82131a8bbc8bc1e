// graphin.dll's exports: thin wrappers over the portable rasteriser, plus the blit onto
// a device context. No exception leaves the DLL.
#include <windows.h>

#include <cmath>
#include <memory>
#include <new>

#include "foundation/WinHandles.h"
#include "graphin/Raster.h"
#include "graphin/graphin.h"

struct GraphinImageData {
    std::unique_ptr<graphin::Image> image;
};
struct GraphinGraphicsData {
    graphin::Graphics graphics;
};

namespace {

bool Finite(double v) { return std::isfinite(v); }

int Clip255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

}  // namespace

GRAPHIN_EXPORT int GRAPHIN_CALL GraphinCreateImage(int width, int height, GraphinImage* image) {
    if (!image) return kGraphinInvalidArgument;
    *image = nullptr;
    if (width <= 0 || height <= 0) return kGraphinInvalidArgument;
    std::unique_ptr<graphin::Image> made(graphin::CreateImage(width, height));
    if (!made) return kGraphinOutOfMemory;
    GraphinImageData* data = new (std::nothrow) GraphinImageData;
    if (!data) return kGraphinOutOfMemory;
    data->image = std::move(made);
    *image = data;
    return kGraphinOk;
}

GRAPHIN_EXPORT int GRAPHIN_CALL GraphinReleaseImage(GraphinImage image) {
    delete image;
    return kGraphinOk;
}

GRAPHIN_EXPORT int GRAPHIN_CALL GraphinCreateGraphics(GraphinImage image, GraphinGraphics* graphics) {
    if (!graphics) return kGraphinInvalidArgument;
    *graphics = nullptr;
    if (!image) return kGraphinInvalidArgument;
    GraphinGraphicsData* g = new (std::nothrow) GraphinGraphicsData;
    if (!g) return kGraphinOutOfMemory;
    g->graphics.image = image->image.get();
    *graphics = g;
    return kGraphinOk;
}

GRAPHIN_EXPORT int GRAPHIN_CALL GraphinReleaseGraphics(GraphinGraphics graphics) {
    delete graphics;
    return kGraphinOk;
}

GRAPHIN_EXPORT GraphinColor GRAPHIN_CALL GraphinMakeColor(int r, int g, int b, int transparency) {
    uint32_t alpha = static_cast<uint32_t>(255 - Clip255(transparency));
    return (alpha << 24) | (static_cast<uint32_t>(Clip255(r)) << 16) | (static_cast<uint32_t>(Clip255(g)) << 8) |
           static_cast<uint32_t>(Clip255(b));
}

GRAPHIN_EXPORT int GRAPHIN_CALL GraphinSetLineWidth(GraphinGraphics graphics, double width) {
    if (!graphics || !Finite(width) || width < 0.0) return kGraphinInvalidArgument;
    graphics->graphics.lineWidth = width;
    return kGraphinOk;
}

GRAPHIN_EXPORT int GRAPHIN_CALL GraphinSetLineColor(GraphinGraphics graphics, GraphinColor color) {
    if (!graphics) return kGraphinInvalidArgument;
    graphics->graphics.lineColor = color;
    return kGraphinOk;
}

GRAPHIN_EXPORT int GRAPHIN_CALL GraphinSetFillColor(GraphinGraphics graphics, GraphinColor color) {
    if (!graphics) return kGraphinInvalidArgument;
    graphics->graphics.fillColor = color;
    return kGraphinOk;
}

GRAPHIN_EXPORT int GRAPHIN_CALL GraphinDrawLine(GraphinGraphics graphics, double x1, double y1, double x2,
                                                double y2) {
    if (!graphics) return kGraphinInvalidArgument;
    try {
        graphin::DrawLine(graphics->graphics, x1, y1, x2, y2);
    } catch (...) {
        return kGraphinFailed;
    }
    return kGraphinOk;
}

GRAPHIN_EXPORT int GRAPHIN_CALL GraphinDrawTriangle(GraphinGraphics graphics, double x1, double y1, double x2,
                                                    double y2, double x3, double y3) {
    if (!graphics) return kGraphinInvalidArgument;
    try {
        graphin::DrawTriangle(graphics->graphics, x1, y1, x2, y2, x3, y3);
    } catch (...) {
        return kGraphinFailed;
    }
    return kGraphinOk;
}

// Reads the destination area into a 32-bit DIB, composites the image over it and writes
// it back: works on memory DCs (DDB or DIB section) and window DCs alike, and pixels
// the image leaves transparent go back exactly as they were.
GRAPHIN_EXPORT int GRAPHIN_CALL GraphinBlitImage(void* dcHandle, int x, int y, GraphinImage image, int srcX,
                                                 int srcY, int width, int height, int flags) {
    HDC dc = static_cast<HDC>(dcHandle);
    if (!dc || !image || width <= 0 || height <= 0) return kGraphinInvalidArgument;
    // Only the part of the source inside the image matters.
    if (srcX < 0) {
        x -= srcX;
        width += srcX;
        srcX = 0;
    }
    if (srcY < 0) {
        y -= srcY;
        height += srcY;
        srcY = 0;
    }
    const graphin::Image& source = *image->image;
    if (srcX + width > source.width) width = source.width - srcX;
    if (srcY + height > source.height) height = source.height - srcY;
    // Nothing lies left of or above the device context's origin.
    if (x < 0) {
        srcX -= x;
        width += x;
        x = 0;
    }
    if (y < 0) {
        srcY -= y;
        height += y;
        y = 0;
    }
    if (width <= 0 || height <= 0) return kGraphinOk;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;   // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap dib(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib || !bits) return kGraphinOutOfMemory;
    int result = kGraphinFailed;
    UniqueDC memory(CreateCompatibleDC(dc));
    if (memory) {
        SelectScope select(memory.get(), dib.get());
        if (BitBlt(memory.get(), 0, 0, width, height, dc, x, y, SRCCOPY)) {
            GdiFlush();
            graphin::CompositeOnto(source, srcX, srcY, width, height, static_cast<uint8_t*>(bits), width, height,
                                   width * 4, false, 0, 0);
            if (BitBlt(dc, x, y, width, height, memory.get(), 0, 0, SRCCOPY)) result = kGraphinOk;
        }
    }
    return result;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
