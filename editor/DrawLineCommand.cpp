#include "editor/DrawLineCommand.h"

#include <algorithm>

#include "editor/GraphinTable.h"

DrawLineCommand::DrawLineCommand(int x1, int y1, int x2, int y2, unsigned width, COLORREF colour)
    : m_x1(x1), m_y1(y1), m_x2(x2), m_y2(y2), m_width(width), m_colour(colour) {}

void DrawLineCommand::Draw(HDC dc) {
    const GraphinTable* g = GetGraphin();
    if (!g) return;
    // Half the width around the ends; at least one pixel, so a 1-px horizontal or
    // vertical line still has an image to be drawn on.
    int half = std::max(static_cast<int>(m_width / 2), 1);
    int left = std::min(m_x1, m_x2) - half, top = std::min(m_y1, m_y2) - half;
    int right = std::max(m_x1, m_x2) + half, bottom = std::max(m_y1, m_y2) + half;
    int width = right - left, height = bottom - top;

    GraphinImage image = nullptr;
    g->CreateImage(width, height, &image);
    GraphinGraphics graphics = nullptr;
    g->CreateGraphics(image, &graphics);
    g->SetLineWidth(graphics, static_cast<double>(m_width));
    g->SetLineColor(graphics, g->MakeColor(m_colour & 0xff, (m_colour >> 8) & 0xff, (m_colour >> 16) & 0xff, 0));
    g->DrawLine(graphics, m_x1 - left, m_y1 - top, m_x2 - left, m_y2 - top);
    g->BlitImage(dc, left, top, image, 0, 0, width, height, 1);
    g->ReleaseGraphics(graphics);
    g->ReleaseImage(image);
}
