#include "editor/PointFont_win.h"

#include <cstdlib>

UniqueFont CreatePointFont(HDC dc, int size, const wchar_t* face) {
    WindowDC screen;
    if (!dc) screen = WindowDC(nullptr);
    HDC target = dc ? dc : screen.get();
    LOGFONTW lf = {};
    // Tenths of a point to device pixels, then to logical units (as the map mode says).
    POINT pt = {0, MulDiv(GetDeviceCaps(target, LOGPIXELSY), size, 720)};
    POINT origin = {0, 0};
    DPtoLP(target, &pt, 1);
    DPtoLP(target, &origin, 1);
    lf.lfHeight = -std::abs(static_cast<int>(pt.y - origin.y));
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, face ? face : L"", LF_FACESIZE);
    screen.reset();
    return UniqueFont(CreateFontIndirectW(&lf));
}
