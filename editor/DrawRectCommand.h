#pragma once
#include "editor/DrawCommand.h"

// Four anti-aliased lines: left, top, bottom, right side.
class DrawRectCommand : public IDrawCommand {
public:
    DrawRectCommand(int left, int right, int top, int bottom, unsigned width, COLORREF colour);
    void Draw(HDC dc) override;

    int m_left, m_right, m_top, m_bottom;
    unsigned m_width;
    COLORREF m_colour;
};
