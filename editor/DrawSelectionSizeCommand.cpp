#include "editor/DrawSelectionSizeCommand.h"

DrawSelectionSizeCommand::DrawSelectionSizeCommand(int x, int y, int width, int height)
    : m_x(x), m_y(y), m_width(width), m_height(height) {}

std::wstring DrawSelectionSizeCommand::Text() const {
    return L" " + std::to_wstring(m_width) + L"x" + std::to_wstring(m_height) + L" ";
}
