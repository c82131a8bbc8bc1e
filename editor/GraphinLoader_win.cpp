#include "editor/GraphinTable.h"

// graphin.dll is imported at load time (by ordinal, see graphin/CMakeLists.txt): the
// loader has resolved every entry before the program runs.
const GraphinTable* LoadDefaultGraphin() {
    static const GraphinTable table = [] {
        GraphinTable t;
        t.CreateImage = &GraphinCreateImage;
        t.ReleaseImage = &GraphinReleaseImage;
        t.BlitImage = &GraphinBlitImage;
        t.CreateGraphics = &GraphinCreateGraphics;
        t.ReleaseGraphics = &GraphinReleaseGraphics;
        t.MakeColor = &GraphinMakeColor;
        t.DrawLine = &GraphinDrawLine;
        t.DrawTriangle = &GraphinDrawTriangle;
        t.SetLineWidth = &GraphinSetLineWidth;
        t.SetLineColor = &GraphinSetLineColor;
        t.SetFillColor = &GraphinSetFillColor;
        return t;
    }();
    return &table;
}
