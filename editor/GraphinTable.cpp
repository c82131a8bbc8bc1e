#include "editor/GraphinTable.h"

#include <atomic>

// The table of graphin.dll itself (GraphinLoader_win.cpp; none in the native build).
const GraphinTable* LoadDefaultGraphin();

namespace {
std::atomic<const GraphinTable*> g_testTable{nullptr};
}

bool GraphinTable::IsComplete() const {
    return CreateImage && CreateGraphics && SetLineWidth && MakeColor && SetLineColor && SetFillColor && DrawLine &&
           DrawTriangle && BlitImage && ReleaseGraphics && ReleaseImage;
}

const GraphinTable* GetGraphin() {
    if (const GraphinTable* table = g_testTable.load()) return table;
    return LoadDefaultGraphin();
}

void SetGraphinForTesting(const GraphinTable* table) { g_testTable.store(table); }
