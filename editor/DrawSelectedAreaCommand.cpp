#include "editor/DrawSelectedAreaCommand.h"

DrawSelectedAreaCommand::DrawSelectedAreaCommand(int x, int y, int width, int height, HBITMAP source)
    : m_x(x), m_y(y), m_width(width), m_height(height), m_source(source) {}
