#include "editor/DrawSelectionCommand.h"

namespace {

RECT HandleAround(int px, int py) {
    RECT r;
    r.left = px - 3;
    r.top = py - 3;
    r.right = px + 3;
    r.bottom = py + 3;
    return r;
}

}  // namespace

DrawSelectionCommand::DrawSelectionCommand(int x, int y, int width, int height, bool showHandles)
    : m_x(x), m_y(y), m_width(width), m_height(height), m_showHandles(showHandles) {
    int midX = x + width / 2, midY = y + height / 2;
    m_handles[0] = HandleAround(x, y);
    m_handles[1] = HandleAround(midX, y);
    m_handles[2] = HandleAround(x + width, y);
    m_handles[3] = HandleAround(x + width, midY);
    m_handles[4] = HandleAround(x + width, y + height);
    m_handles[5] = HandleAround(midX, y + height);
    m_handles[6] = HandleAround(x, y + height);
    m_handles[7] = HandleAround(x, midY);
}
