#include "editor/DrawRectCommand.h"

#include "editor/DrawLineCommand.h"

DrawRectCommand::DrawRectCommand(int left, int right, int top, int bottom, unsigned width, COLORREF colour)
    : m_left(left), m_right(right), m_top(top), m_bottom(bottom), m_width(width), m_colour(colour) {}

void DrawRectCommand::Draw(HDC dc) {
    DrawLineCommand(m_left, m_top, m_left, m_bottom, m_width, m_colour).Draw(dc);
    DrawLineCommand(m_left, m_top, m_right, m_top, m_width, m_colour).Draw(dc);
    DrawLineCommand(m_left, m_bottom, m_right, m_bottom, m_width, m_colour).Draw(dc);
    DrawLineCommand(m_right, m_top, m_right, m_bottom, m_width, m_colour).Draw(dc);
}
