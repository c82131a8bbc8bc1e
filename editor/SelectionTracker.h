#pragma once
#include <cstdint>

// The rectangle that the user drags, moves and resizes over the frozen screen. Knows
// nothing of windows: the dialog feeds it mouse positions in its client coordinates
// together with the client bounds and reads the corners back. While the first drag
// runs the corners are not ordered; Left/Top/Right/Bottom always are.
class SelectionTracker {
public:
    // Drag modes (bit flags).
    static constexpr int kMove = 2;
    static constexpr int kResize = 4;
    // Grabbed edges (bit flags).
    static constexpr uint8_t kEdgeLeft = 1;
    static constexpr uint8_t kEdgeTop = 2;
    static constexpr uint8_t kEdgeRight = 4;
    static constexpr uint8_t kEdgeBottom = 8;
    // Half the width of an edge's grab band, and the margin of the inner area.
    static constexpr int kBand = 5;

    // A fresh tracker: both corners and the drag point at (x, y).
    void Start(int x, int y);
    // While the first drag runs the second corner follows; afterwards a running move
    // and then a running resize act on the point.
    void OnMouseMove(int x, int y, int boundsLeft, int boundsTop, int boundsWidth, int boundsHeight);
    // Left + 5 <= x <= right - 5 and top + 5 <= y <= bottom - 5.
    bool IsInside(int x, int y) const;
    // Clears the edge flags, sets the flag of every edge whose band holds the point.
    bool HitEdges(int x, int y);
    void BeginMove(int x, int y);
    void BeginResize(int x, int y);
    // The left button went up: no move or resize runs any more.
    void EndDrag() { m_mode = 0; }
    void Move(int x, int y, int boundsLeft, int boundsTop, int boundsWidth, int boundsHeight);
    void Resize(int x, int y, int boundsLeft, int boundsTop, int boundsWidth, int boundsHeight);

    // The cursor tests: each adds its flags to the edge flags and answers whether the
    // point lies in the band(s) named. The right band is limited to the selection's
    // height plus the band; the others run across the whole screen.
    bool HitTopRight(int x, int y);
    bool HitBottomRight(int x, int y);
    bool HitBottomLeft(int x, int y);
    bool HitLeft(int x, int y);
    bool HitRight(int x, int y);
    bool HitTop(int x, int y);
    bool HitBottom(int x, int y);

    int Left() const { return m_x1 < m_x2 ? m_x1 : m_x2; }
    int Right() const { return m_x1 < m_x2 ? m_x2 : m_x1; }
    int Top() const { return m_y1 < m_y2 ? m_y1 : m_y2; }
    int Bottom() const { return m_y1 < m_y2 ? m_y2 : m_y1; }
    int Width() const { return Right() - Left(); }
    int Height() const { return Bottom() - Top(); }

    bool IsFinished() const { return m_finished; }
    void SetFinished(bool finished) { m_finished = finished; }
    int GetMode() const { return m_mode; }
    uint8_t GetEdges() const { return m_edges; }

    // The raw corners (first drag: x1, y1 where it started).
    int m_x1 = 0, m_y1 = 0, m_x2 = 0, m_y2 = 0;
    int m_dragX = 0, m_dragY = 0;

private:
    bool InLeftBand(int x) const;
    bool InRightBand(int x, int y) const;
    bool InTopBand(int y) const;
    bool InBottomBand(int y) const;

    bool m_finished = false;
    int m_mode = 0;
    uint8_t m_edges = 0;
};
