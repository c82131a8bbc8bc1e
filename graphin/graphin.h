#pragma once
// graphin.dll: the program's small anti-aliased 2D drawing library. Images start fully
// transparent; strokes and filled triangles are composited source-over; BlitImage
// composites an image per pixel onto a device context.
//
// ABI (stable; the program imports these by ordinal only, at load time):
//   1 GraphinCreateImage      2 GraphinReleaseImage     4 GraphinBlitImage
//  10 GraphinCreateGraphics  11 GraphinReleaseGraphics 12 GraphinMakeColor
//  13 GraphinDrawLine        14 GraphinDrawTriangle
//  40 GraphinSetLineWidth    41 GraphinSetLineColor    42 GraphinSetFillColor
// Every function is __stdcall on 32-bit Windows, returns kGraphinOk or an error code,
// tolerates null handles and ignores non-finite coordinates.
#include <cstdint>

#if defined(_WIN32)
#define GRAPHIN_CALL __stdcall
#else
#define GRAPHIN_CALL
#endif

// The DLL's exports are listed (with their ordinals) in graphin/dll/graphin.def only, so
// that the 32-bit build exports no decorated names beside them. Users link the import
// library made in graphin/CMakeLists.txt, which imports each by ordinal only.
#define GRAPHIN_EXPORT extern "C"

struct GraphinImageData;
struct GraphinGraphicsData;
typedef GraphinImageData* GraphinImage;
typedef GraphinGraphicsData* GraphinGraphics;
// 0xAARRGGBB, alpha = 255 - transparency.
typedef uint32_t GraphinColor;

enum GraphinStatus : int {
    kGraphinOk = 0,
    kGraphinInvalidArgument = 1,
    kGraphinOutOfMemory = 2,
    kGraphinFailed = 3,
};

// The function types of the table, in the DLL's calling convention. HDC is passed as
// an opaque pointer so the header needs no windows.h.
typedef int(GRAPHIN_CALL* GraphinCreateImageFn)(int width, int height, GraphinImage* image);
typedef int(GRAPHIN_CALL* GraphinReleaseImageFn)(GraphinImage image);
typedef int(GRAPHIN_CALL* GraphinBlitImageFn)(void* dc, int x, int y, GraphinImage image, int srcX, int srcY,
                                              int width, int height, int flags);
typedef int(GRAPHIN_CALL* GraphinCreateGraphicsFn)(GraphinImage image, GraphinGraphics* graphics);
typedef int(GRAPHIN_CALL* GraphinReleaseGraphicsFn)(GraphinGraphics graphics);
typedef GraphinColor(GRAPHIN_CALL* GraphinMakeColorFn)(int r, int g, int b, int transparency);
typedef int(GRAPHIN_CALL* GraphinDrawLineFn)(GraphinGraphics graphics, double x1, double y1, double x2, double y2);
typedef int(GRAPHIN_CALL* GraphinDrawTriangleFn)(GraphinGraphics graphics, double x1, double y1, double x2,
                                                 double y2, double x3, double y3);
typedef int(GRAPHIN_CALL* GraphinSetLineWidthFn)(GraphinGraphics graphics, double width);
typedef int(GRAPHIN_CALL* GraphinSetColorFn)(GraphinGraphics graphics, GraphinColor color);

// The ordinals.
enum GraphinOrdinal : int {
    kGraphinOrdCreateImage = 1,
    kGraphinOrdReleaseImage = 2,
    kGraphinOrdBlitImage = 4,
    kGraphinOrdCreateGraphics = 10,
    kGraphinOrdReleaseGraphics = 11,
    kGraphinOrdMakeColor = 12,
    kGraphinOrdDrawLine = 13,
    kGraphinOrdDrawTriangle = 14,
    kGraphinOrdSetLineWidth = 40,
    kGraphinOrdSetLineColor = 41,
    kGraphinOrdSetFillColor = 42,
};

#if defined(_WIN32)
// The exports themselves (graphin/dll/GraphinExports_win.cpp).
extern "C" {
int GRAPHIN_CALL GraphinCreateImage(int width, int height, GraphinImage* image);
int GRAPHIN_CALL GraphinReleaseImage(GraphinImage image);
int GRAPHIN_CALL GraphinBlitImage(void* dc, int x, int y, GraphinImage image, int srcX, int srcY, int width,
                                  int height, int flags);
int GRAPHIN_CALL GraphinCreateGraphics(GraphinImage image, GraphinGraphics* graphics);
int GRAPHIN_CALL GraphinReleaseGraphics(GraphinGraphics graphics);
GraphinColor GRAPHIN_CALL GraphinMakeColor(int r, int g, int b, int transparency);
int GRAPHIN_CALL GraphinDrawLine(GraphinGraphics graphics, double x1, double y1, double x2, double y2);
int GRAPHIN_CALL GraphinDrawTriangle(GraphinGraphics graphics, double x1, double y1, double x2, double y2, double x3,
                                     double y3);
int GRAPHIN_CALL GraphinSetLineWidth(GraphinGraphics graphics, double width);
int GRAPHIN_CALL GraphinSetLineColor(GraphinGraphics graphics, GraphinColor color);
int GRAPHIN_CALL GraphinSetFillColor(GraphinGraphics graphics, GraphinColor color);
}
#endif
