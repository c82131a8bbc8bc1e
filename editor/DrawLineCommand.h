#pragma once
#include "editor/DrawCommand.h"

// An anti-aliased line through graphin, on an image the size of its bounding box
// (grown by half the width on every side).
class DrawLineCommand : public IDrawCommand {
public:
    DrawLineCommand(int x1, int y1, int x2, int y2, unsigned width, COLORREF colour);
    void Draw(HDC dc) override;

    int m_x1, m_y1, m_x2, m_y2;
    unsigned m_width;
    COLORREF m_colour;
};
