#pragma once
#include "editor/DrawCommand.h"

// An anti-aliased arrow from the tail (x1, y1) to the tip (x2, y2) with a filled head
// 3 widths long and 3 widths wide.
class DrawArrowCommand : public IDrawCommand {
public:
    DrawArrowCommand(int x1, int y1, int x2, int y2, unsigned width, COLORREF colour);
    void Draw(HDC dc) override;

    struct Point {
        double x, y;
    };
    // Everything Draw gives graphin, relative to the image's origin.
    struct Geometry {
        bool empty = true;      // tail = tip: nothing to draw
        bool hasShaft = false;  // false when the shaft would have no length left
        int originX = 0, originY = 0, width = 0, height = 0;
        Point shaftStart{}, shaftEnd{};
        Point head[3]{};
    };
    Geometry ComputeGeometry() const;

    int m_x1, m_y1, m_x2, m_y2;
    unsigned m_width;
    COLORREF m_colour;
};
