#include "editor/DrawSelectionSizeCommand.h"

#include "editor/PointFont_win.h"
#include "foundation/WinHandles.h"

void DrawSelectionSizeCommand::Draw(HDC dc) {
    std::wstring text = Text();
    UniqueFont font = CreatePointFont(nullptr, 100, L"Calibri");
    SelectScope selectFont(dc, font.get());
    COLORREF oldText = SetTextColor(dc, RGB(255, 255, 255));
    COLORREF oldBack = SetBkColor(dc, RGB(0, 0, 0));
    int oldMode = SetBkMode(dc, OPAQUE);
    RECT rect = {m_x, m_y, m_x, m_y};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, DT_CALCRECT);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, 0);
    SetBkMode(dc, oldMode);
    SetBkColor(dc, oldBack);
    SetTextColor(dc, oldText);
}
