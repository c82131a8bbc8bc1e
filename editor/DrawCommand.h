#pragma once
#include <memory>
#include <vector>

#ifdef _WIN32
#include <windows.h>   // the drawing calls of the *_win.cpp files
#endif

#include "image/PxCompat.h"

// Something painted over the frozen screen (or onto a panel): one small value object
// that paints itself onto a device context. Lists are painted front to back.
class IDrawCommand {
public:
    virtual ~IDrawCommand() = default;
    virtual void Draw(HDC dc) = 0;
};

using DrawCommandList = std::vector<std::shared_ptr<IDrawCommand>>;

// Paints every command of the list, in order.
void DrawAll(const DrawCommandList& commands, HDC dc);
