#pragma once
#include <string>

#include "editor/DrawCommand.h"

// The size label " WxH ", white on black in Calibri 10 pt, top-left at (x, y).
class DrawSelectionSizeCommand : public IDrawCommand {
public:
    DrawSelectionSizeCommand(int x, int y, int width, int height);
    void Draw(HDC dc) override;
    // " 640x480 "
    std::wstring Text() const;

    int m_x, m_y, m_width, m_height;
};
