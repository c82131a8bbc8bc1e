#pragma once
#include <string>

#include "editor/DrawCommand.h"

// Text at (x, y) in the face and size (tenths of a point) given, transparent
// background; "\r\n" starts a new line.
class DrawTextCommand : public IDrawCommand {
public:
    DrawTextCommand(int x, int y, const std::wstring& text, COLORREF colour, const wchar_t* face, int size);
    void Draw(HDC dc) override;

    int m_x, m_y;
    std::wstring m_text;
    COLORREF m_colour;
    std::wstring m_face;
    int m_size;
};
