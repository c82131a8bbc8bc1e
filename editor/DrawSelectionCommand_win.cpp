#include "editor/DrawSelectionCommand.h"

#include "foundation/WinHandles.h"

namespace {

// A line of 8-px segments, black first, alternating with white; `pen` is the DC's
// pen selection, put back by its owner.
void DashedLine(HDC dc, SelectScope& pen, HPEN black, HPEN white, int x1, int y1, int x2, int y2) {
    int length = x1 == x2 ? y2 - y1 : x2 - x1;
    bool horizontal = y1 == y2;
    bool useBlack = true;
    for (int at = 0; at < length; at += DrawSelectionCommand::kDash) {
        int end = at + DrawSelectionCommand::kDash < length ? at + DrawSelectionCommand::kDash : length;
        pen.Select(useBlack ? black : white);
        if (horizontal) {
            MoveToEx(dc, x1 + at, y1, nullptr);
            LineTo(dc, x1 + end, y1);
        } else {
            MoveToEx(dc, x1, y1 + at, nullptr);
            LineTo(dc, x1, y1 + end);
        }
        useBlack = !useBlack;
    }
}

}  // namespace

void DrawSelectionCommand::Draw(HDC dc) {
    {
        UniquePen black(CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
        UniquePen white(CreatePen(PS_SOLID, 1, RGB(255, 255, 255)));
        SelectScope pen(dc, black.get());
        DashedLine(dc, pen, black.get(), white.get(), m_x, m_y, m_x + m_width, m_y);
        DashedLine(dc, pen, black.get(), white.get(), m_x, m_y + m_height, m_x + m_width, m_y + m_height);
        DashedLine(dc, pen, black.get(), white.get(), m_x, m_y, m_x, m_y + m_height);
        DashedLine(dc, pen, black.get(), white.get(), m_x + m_width, m_y, m_x + m_width, m_y + m_height);
    }

    if (!m_showHandles) return;
    UniqueBrush whiteBrush(CreateSolidBrush(RGB(255, 255, 255)));
    UniqueBrush blackBrush(CreateSolidBrush(RGB(0, 0, 0)));
    for (const RECT& handle : m_handles) {
        RECT outline = {handle.left - 1, handle.top - 1, handle.right + 1, handle.bottom + 1};
        FrameRect(dc, &outline, whiteBrush.get());
        FillRect(dc, &handle, blackBrush.get());
    }
}
