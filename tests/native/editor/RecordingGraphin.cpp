#include "RecordingGraphin.h"

#include <cmath>
#include <cstdio>

namespace recording {

std::vector<std::string> g_calls;
bool g_allFinite = true;

namespace {

GraphinImage const kImage = reinterpret_cast<GraphinImage>(0x1000);
GraphinGraphics const kGraphics = reinterpret_cast<GraphinGraphics>(0x2000);

std::string D(double v) {
    if (!std::isfinite(v)) g_allFinite = false;
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", v);
    return text;
}

std::string I(long long v) { return std::to_string(v); }

int GRAPHIN_CALL CreateImage(int w, int h, GraphinImage* image) {
    g_calls.push_back("CreateImage " + I(w) + " " + I(h));
    *image = kImage;
    return 0;
}
int GRAPHIN_CALL ReleaseImage(GraphinImage image) {
    g_calls.push_back(image == kImage ? "ReleaseImage" : "ReleaseImage ?");
    return 0;
}
int GRAPHIN_CALL BlitImage(void* dc, int x, int y, GraphinImage image, int sx, int sy, int w, int h, int flags) {
    g_calls.push_back("Blit " + I(reinterpret_cast<long long>(dc)) + " " + I(x) + " " + I(y) + " " + I(sx) + " " +
                      I(sy) + " " + I(w) + " " + I(h) + " " + I(flags) + (image == kImage ? "" : " ?"));
    return 0;
}
int GRAPHIN_CALL CreateGraphics(GraphinImage image, GraphinGraphics* g) {
    g_calls.push_back(image == kImage ? "CreateGraphics" : "CreateGraphics ?");
    *g = kGraphics;
    return 0;
}
int GRAPHIN_CALL ReleaseGraphics(GraphinGraphics g) {
    g_calls.push_back(g == kGraphics ? "ReleaseGraphics" : "ReleaseGraphics ?");
    return 0;
}
GraphinColor GRAPHIN_CALL MakeColor(int r, int g, int b, int t) {
    return (static_cast<uint32_t>(255 - t) << 24) | (static_cast<uint32_t>(r) << 16) |
           (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
}
std::string Colour(GraphinColor c) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", c);
    return text;
}
int GRAPHIN_CALL DrawLine(GraphinGraphics, double x1, double y1, double x2, double y2) {
    g_calls.push_back("Line " + D(x1) + " " + D(y1) + " " + D(x2) + " " + D(y2));
    return 0;
}
int GRAPHIN_CALL DrawTriangle(GraphinGraphics, double x1, double y1, double x2, double y2, double x3, double y3) {
    g_calls.push_back("Triangle " + D(x1) + " " + D(y1) + " " + D(x2) + " " + D(y2) + " " + D(x3) + " " + D(y3));
    return 0;
}
int GRAPHIN_CALL SetLineWidth(GraphinGraphics, double w) {
    g_calls.push_back("LineWidth " + D(w));
    return 0;
}
int GRAPHIN_CALL SetLineColor(GraphinGraphics, GraphinColor c) {
    g_calls.push_back("LineColor " + Colour(c));
    return 0;
}
int GRAPHIN_CALL SetFillColor(GraphinGraphics, GraphinColor c) {
    g_calls.push_back("FillColor " + Colour(c));
    return 0;
}

}  // namespace

const GraphinTable& Table() {
    static GraphinTable table = [] {
        GraphinTable t;
        t.CreateImage = &CreateImage;
        t.ReleaseImage = &ReleaseImage;
        t.BlitImage = &BlitImage;
        t.CreateGraphics = &CreateGraphics;
        t.ReleaseGraphics = &ReleaseGraphics;
        t.MakeColor = &MakeColor;
        t.DrawLine = &DrawLine;
        t.DrawTriangle = &DrawTriangle;
        t.SetLineWidth = &SetLineWidth;
        t.SetLineColor = &SetLineColor;
        t.SetFillColor = &SetFillColor;
        return t;
    }();
    return table;
}

Scope::Scope() {
    g_calls.clear();
    g_allFinite = true;
    SetGraphinForTesting(&Table());
}

Scope::~Scope() { SetGraphinForTesting(nullptr); }

}  // namespace recording
