#include "editor/DrawTextCommand.h"

#include "editor/PointFont_win.h"
#include "foundation/WinHandles.h"

void DrawTextCommand::Draw(HDC dc) {
    UniqueFont font = CreatePointFont(nullptr, m_size, m_face.c_str());
    SelectScope selectFont(dc, font.get());
    COLORREF oldText = SetTextColor(dc, m_colour);
    int oldMode = SetBkMode(dc, TRANSPARENT);
    RECT rect = {m_x, m_y, m_x, m_y};
    DrawTextW(dc, m_text.c_str(), static_cast<int>(m_text.size()), &rect, DT_CALCRECT);
    DrawTextW(dc, m_text.c_str(), static_cast<int>(m_text.size()), &rect, 0);
    SetBkMode(dc, oldMode);
    SetTextColor(dc, oldText);
}
