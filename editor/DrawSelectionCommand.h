#pragma once
#include "editor/DrawCommand.h"

// The dashed selection frame (8-px segments, black first), with eight 6x6 grab handles
// on the corners and edge mid-points when showHandles.
class DrawSelectionCommand : public IDrawCommand {
public:
    static constexpr int kDash = 8;

    DrawSelectionCommand(int x, int y, int width, int height, bool showHandles);
    void Draw(HDC dc) override;

    int m_x, m_y, m_width, m_height;
    bool m_showHandles;
    // Top-left, top-mid, top-right, right-mid, bottom-right, bottom-mid, bottom-left,
    // left-mid.
    RECT m_handles[8];
};
