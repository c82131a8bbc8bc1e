#pragma once
#include "editor/DrawCommand.h"
#include "image/PxImage.h"

// Draw commands of the recording control panel.

// A picture at (x, y) in its natural size; the picture is not owned.
class DrawPxImageCommand : public IDrawCommand {
public:
    DrawPxImageCommand(int x, int y, const PxImage* image) : m_x(x), m_y(y), m_image(image) {}
    void Draw(HDC dc) override;

    int m_x, m_y;
    const PxImage* m_image;
};

// The panel's progress bar: the track, then one step picture per percent (the first
// step, middle steps a pixel apart, the end picture at 99 and 100).
class DrawProgressBarCommand : public IDrawCommand {
public:
    DrawProgressBarCommand(int x, int y, const PxImage& background, const PxImage& first, const PxImage& last,
                           const PxImage& middle);
    void Draw(HDC dc) override;

    int m_x, m_y;
    PxImage m_background, m_first, m_last, m_middle;
    float m_value = 0.0f;   // percent
};
