#pragma once
#include <windows.h>

#include "foundation/WinHandles.h"


// A font of `size` tenths of a point in `face`, as the class library's CreatePointFont
// makes it: the height in logical units of the device context (screen DC when null).
UniqueFont CreatePointFont(HDC dc, int size, const wchar_t* face);
