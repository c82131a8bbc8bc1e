#include "editor/DrawArrowCommand.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "editor/GraphinTable.h"

namespace {

// The program's quarter turn.
constexpr double kQuarterTurn = 1.570796325;

double Round3(double v) { return std::floor(v * 1000.0 + 0.5) / 1000.0; }

}  // namespace

DrawArrowCommand::DrawArrowCommand(int x1, int y1, int x2, int y2, unsigned width, COLORREF colour)
    : m_x1(x1), m_y1(y1), m_x2(x2), m_y2(y2), m_width(width), m_colour(colour) {}

DrawArrowCommand::Geometry DrawArrowCommand::ComputeGeometry() const {
    Geometry geo;
    double w = m_width;
    int h = static_cast<int>(m_width / 2);
    double headLength = 3.0 * w, headHalf = headLength / 2.0;
    double dx = m_x2 - m_x1, dy = m_y2 - m_y1;
    double length = std::sqrt(dx * dx + dy * dy);
    // Tail on the tip: no direction, nothing to draw.
    if (length == 0.0) return geo;
    geo.empty = false;
    double a = std::acos(dx / length);
    double theta = dy > 0 ? a - kQuarterTurn : -kQuarterTurn - a;
    double c = Round3(std::cos(theta)), s = Round3(std::sin(theta));

    geo.originX = std::min(m_x1, m_x2) - h - static_cast<int>(std::ceil(headHalf));
    geo.originY = std::min(m_y1, m_y2) - h - static_cast<int>(std::ceil(headHalf));
    geo.width = std::abs(m_x2 - m_x1) + 2 * h + 3 * static_cast<int>(m_width);
    geo.height = std::abs(m_y2 - m_y1) + 2 * h + 3 * static_cast<int>(m_width);

    double tipX = m_x2 - geo.originX, tipY = m_y2 - geo.originY;
    auto turn = [&](double px, double py) {
        return Point{tipX + Round3(px * c - py * s), tipY + Round3(px * s + py * c)};
    };
    geo.head[0] = turn(-headHalf, -headLength);
    geo.head[1] = Point{tipX, tipY};
    geo.head[2] = turn(headHalf, -headLength);
    Point base = turn(0.0, -headLength);

    Point tail{static_cast<double>(m_x1 - geo.originX), static_cast<double>(m_y1 - geo.originY)};
    double bx = base.x - tail.x, by = base.y - tail.y;
    double d = std::sqrt(bx * bx + by * by);
    // A tail on the head's base leaves no shaft: the head alone is drawn.
    if (d > 0.0) {
        double k = (d - w / 3.8) / d;
        geo.hasShaft = true;
        geo.shaftStart = tail;
        geo.shaftEnd = Point{tail.x + bx * k, tail.y + by * k};
    }
    return geo;
}

void DrawArrowCommand::Draw(HDC dc) {
    const GraphinTable* g = GetGraphin();
    if (!g) return;
    Geometry geo = ComputeGeometry();
    if (geo.empty) return;
    int r = m_colour & 0xff, gr = (m_colour >> 8) & 0xff, b = (m_colour >> 16) & 0xff;

    GraphinImage image = nullptr;
    g->CreateImage(geo.width, geo.height, &image);
    GraphinGraphics graphics = nullptr;
    g->CreateGraphics(image, &graphics);
    g->SetLineWidth(graphics, static_cast<double>(m_width));
    g->SetLineColor(graphics, g->MakeColor(r, gr, b, 0));
    if (geo.hasShaft) {
        g->DrawLine(graphics, geo.shaftStart.x, geo.shaftStart.y, geo.shaftEnd.x, geo.shaftEnd.y);
    }
    g->SetLineWidth(graphics, static_cast<double>(m_width));
    g->SetLineColor(graphics, g->MakeColor(r, gr, b, 255));
    g->SetFillColor(graphics, g->MakeColor(r, gr, b, 0));
    g->DrawTriangle(graphics, geo.head[0].x, geo.head[0].y, geo.head[1].x, geo.head[1].y, geo.head[2].x,
                    geo.head[2].y);
    g->SetLineColor(graphics, g->MakeColor(0, 0, 0, 0));
    g->BlitImage(dc, geo.originX, geo.originY, image, 0, 0, geo.width, geo.height, 1);
    g->ReleaseGraphics(graphics);
    g->ReleaseImage(image);
}
