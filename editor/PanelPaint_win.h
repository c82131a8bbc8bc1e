#pragma once
#include <windows.h>

#include <functional>

#include "foundation/WinHandles.h"

// Paints a panel: a copy of its background bitmap on a memory context, `drawOver` on
// top, the whole copied to the window.
void PaintPanel(HWND window, HBITMAP background, SIZE size, const std::function<void(HDC)>& drawOver);
// Loads a panel's background bitmap and reads its size; null (logged) when missing.
UniqueBitmap LoadPanelBitmap(UINT id, SIZE& size);
// Makes the panel topmost with exactly that size and hides it.
void FitPanelHidden(HWND window, SIZE size);
// The cursor in the window's client coordinates.
POINT CursorInClient(HWND window);
