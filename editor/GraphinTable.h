#pragma once
#include "graphin/graphin.h"

// The eleven operations of graphin.dll that the draw commands call. The program fills
// the table from graphin.dll by ordinal the first time it is needed; tests put their
// own table in place.
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

// The table in use, or null when graphin.dll cannot be loaded (logged once); lines,
// arrows and rectangles then draw nothing.
const GraphinTable* GetGraphin();
// Replaces the table (tests); null goes back to graphin.dll.
void SetGraphinForTesting(const GraphinTable* table);
// Fills `table` from a loaded graphin.dll module by ordinal; false when any is missing.
bool LoadGraphinTable(void* module, GraphinTable& table);
