#include "editor/DrawSelectedAreaCommand.h"

#include "foundation/WinHandles.h"

void DrawSelectedAreaCommand::Draw(HDC dc) {
    if (!m_source || m_width <= 0 || m_height <= 0) return;
    UniqueDC memory(CreateCompatibleDC(dc));
    if (!memory) return;
    SelectScope source(memory.get(), m_source);
    BitBlt(dc, m_x, m_y, m_width, m_height, memory.get(), m_x, m_y, SRCCOPY);
}
