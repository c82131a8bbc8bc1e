#include "editor/SelectionTracker.h"

#include <algorithm>

void SelectionTracker::Start(int x, int y) {
    *this = SelectionTracker();
    m_x1 = m_x2 = x;
    m_y1 = m_y2 = y;
    m_dragX = x;
    m_dragY = y;
}

void SelectionTracker::OnMouseMove(int x, int y, int boundsLeft, int boundsTop, int boundsWidth, int boundsHeight) {
    if (!m_finished) {
        m_x2 = x;
        m_y2 = y;
        return;
    }
    if (m_mode & (kMove | kResize)) {
        Move(x, y, boundsLeft, boundsTop, boundsWidth, boundsHeight);
        Resize(x, y, boundsLeft, boundsTop, boundsWidth, boundsHeight);
    }
}

bool SelectionTracker::IsInside(int x, int y) const {
    return Left() + kBand <= x && x <= Right() - kBand && Top() + kBand <= y && y <= Bottom() - kBand;
}

bool SelectionTracker::InLeftBand(int x) const { return Left() - kBand < x && x < Left() + kBand; }

bool SelectionTracker::InRightBand(int x, int y) const {
    return Right() - kBand < x && x < Right() + kBand && Top() - kBand < y && y < Bottom() + kBand;
}

bool SelectionTracker::InTopBand(int y) const { return Top() - kBand < y && y < Top() + kBand; }

bool SelectionTracker::InBottomBand(int y) const { return Bottom() - kBand < y && y < Bottom() + kBand; }

bool SelectionTracker::HitEdges(int x, int y) {
    m_edges = 0;
    if (InLeftBand(x)) m_edges |= kEdgeLeft;
    if (InRightBand(x, y)) m_edges |= kEdgeRight;
    if (InTopBand(y)) m_edges |= kEdgeTop;
    if (InBottomBand(y)) m_edges |= kEdgeBottom;
    return m_edges != 0;
}

void SelectionTracker::BeginMove(int x, int y) {
    m_mode |= kMove;
    m_dragX = x;
    m_dragY = y;
}

void SelectionTracker::BeginResize(int x, int y) {
    m_mode |= kResize;
    m_dragX = x;
    m_dragY = y;
    HitEdges(x, y);
}

void SelectionTracker::Move(int x, int y, int boundsLeft, int boundsTop, int boundsWidth, int boundsHeight) {
    if (!(m_mode & kMove)) return;
    int dx = x - m_dragX, dy = y - m_dragY;
    m_dragX = x;
    m_dragY = y;
    int w = Width(), h = Height();
    int newLeft = std::max(Left() + dx, boundsLeft);
    if (newLeft + w > boundsLeft + boundsWidth - 3) newLeft = boundsLeft + boundsWidth - 3 - w;
    int newTop = std::max(Top() + dy, boundsTop);
    if (newTop + h > boundsTop + boundsHeight - 3) newTop = boundsTop + boundsHeight - 3 - h;
    // A selection wider (or taller) than the bounds would be pushed past the left (top)
    // bound by the second clamp: keep it at the bound instead.
    newLeft = std::max(newLeft, boundsLeft);
    newTop = std::max(newTop, boundsTop);
    m_x1 = newLeft;
    m_x2 = newLeft + w;
    m_y1 = newTop;
    m_y2 = newTop + h;
}

void SelectionTracker::Resize(int x, int y, int boundsLeft, int boundsTop, int boundsWidth, int boundsHeight) {
    if (!(m_mode & kResize)) return;
    int dx = x - m_dragX, dy = y - m_dragY;
    m_dragX = x;
    m_dragY = y;
    int left = Left(), top = Top(), right = Right(), bottom = Bottom();
    if (m_edges & kEdgeLeft) {
        left = std::max(left + dx, boundsLeft);
        if (right < left) {
            std::swap(left, right);
            m_edges = static_cast<uint8_t>((m_edges & ~kEdgeLeft) | kEdgeRight);
        }
    } else if (m_edges & kEdgeRight) {
        right = std::min(right + dx, boundsLeft + boundsWidth);
        if (right < left) {
            std::swap(left, right);
            m_edges = static_cast<uint8_t>((m_edges & ~kEdgeRight) | kEdgeLeft);
        }
    }
    if (m_edges & kEdgeTop) {
        top = std::max(top + dy, boundsTop);
        if (bottom < top) {
            std::swap(top, bottom);
            m_edges = static_cast<uint8_t>((m_edges & ~kEdgeTop) | kEdgeBottom);
        }
    } else if (m_edges & kEdgeBottom) {
        bottom = std::min(bottom + dy, boundsTop + boundsHeight);
        if (bottom < top) {
            std::swap(top, bottom);
            m_edges = static_cast<uint8_t>((m_edges & ~kEdgeBottom) | kEdgeTop);
        }
    }
    m_x1 = left;
    m_y1 = top;
    m_x2 = right;
    m_y2 = bottom;
}

bool SelectionTracker::HitTopRight(int x, int y) {
    bool right = InRightBand(x, y), top = InTopBand(y);
    if (right) m_edges |= kEdgeRight;
    if (top) m_edges |= kEdgeTop;
    return right && top;
}

bool SelectionTracker::HitBottomRight(int x, int y) {
    bool right = InRightBand(x, y), bottom = InBottomBand(y);
    if (right) m_edges |= kEdgeRight;
    if (bottom) m_edges |= kEdgeBottom;
    return right && bottom;
}

bool SelectionTracker::HitBottomLeft(int x, int y) {
    bool left = InLeftBand(x), bottom = InBottomBand(y);
    if (left) m_edges |= kEdgeLeft;
    if (bottom) m_edges |= kEdgeBottom;
    return left && bottom;
}

bool SelectionTracker::HitLeft(int x, int y) {
    bool hit = InLeftBand(x);
    if (hit) m_edges |= kEdgeLeft;
    return hit;
}

bool SelectionTracker::HitRight(int x, int y) {
    bool hit = InRightBand(x, y);
    if (hit) m_edges |= kEdgeRight;
    return hit;
}

bool SelectionTracker::HitTop(int x, int y) {
    bool hit = InTopBand(y);
    if (hit) m_edges |= kEdgeTop;
    return hit;
}

bool SelectionTracker::HitBottom(int x, int y) {
    bool hit = InBottomBand(y);
    if (hit) m_edges |= kEdgeBottom;
    return hit;
}
