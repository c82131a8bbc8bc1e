#include "editor/DrawTextCommand.h"

DrawTextCommand::DrawTextCommand(int x, int y, const std::wstring& text, COLORREF colour, const wchar_t* face,
                                 int size)
    : m_x(x), m_y(y), m_text(text), m_colour(colour), m_face(face ? face : L""), m_size(size) {}
