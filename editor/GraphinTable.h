#pragma once
#include "graphin/graphin.h"

// The eleven operations of graphin.dll that the draw commands call. In the Windows
// build the table holds graphin.dll's imports (by ordinal, resolved at load time);
// natively there is none, and tests put their own table in place.
struct GraphinTable {
    GraphinCreateImageFn CreateImage = nullptr;
    GraphinCreateGraphicsFn CreateGraphics = nullptr;
    GraphinSetLineWidthFn SetLineWidth = nullptr;
    GraphinMakeColorFn MakeColor = nullptr;
    GraphinSetColorFn SetLineColor = nullptr;
    GraphinSetColorFn SetFillColor = nullptr;
    GraphinDrawLineFn DrawLine = nullptr;
    GraphinDrawTriangleFn DrawTriangle = nullptr;
    GraphinBlitImageFn BlitImage = nullptr;
    GraphinReleaseGraphicsFn ReleaseGraphics = nullptr;
    GraphinReleaseImageFn ReleaseImage = nullptr;

    bool IsComplete() const;
};

// The table in use, or null when there is none (native build without a test table);
// lines, arrows and rectangles then draw nothing.
const GraphinTable* GetGraphin();
// Replaces the table (tests); null goes back to graphin.dll.
void SetGraphinForTesting(const GraphinTable* table);
