#include "editor/DrawSelectedAreaCommand.h"

void DrawSelectedAreaCommand::Draw(HDC dc) {
    if (!m_source || m_width <= 0 || m_height <= 0) return;
    HDC memory = CreateCompatibleDC(dc);
    if (!memory) return;
    HGDIOBJ old = SelectObject(memory, m_source);
    BitBlt(dc, m_x, m_y, m_width, m_height, memory, m_x, m_y, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}
