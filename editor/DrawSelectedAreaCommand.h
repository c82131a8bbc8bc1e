#pragma once
#include "editor/DrawCommand.h"

// The rectangle copied from the same place of a source bitmap (the undimmed screen, or
// the pixelated one for the Blur tool).
class DrawSelectedAreaCommand : public IDrawCommand {
public:
    DrawSelectedAreaCommand(int x, int y, int width, int height, HBITMAP source);
    void Draw(HDC dc) override;

    int m_x, m_y, m_width, m_height;
    HBITMAP m_source;   // not owned
};
