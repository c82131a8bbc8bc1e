#include "editor/PointFont_win.h"

#include <cstdlib>

HFONT CreatePointFont(HDC dc, int size, const wchar_t* face) {
    HDC screen = dc ? nullptr : GetDC(nullptr);
    HDC target = dc ? dc : screen;
    LOGFONTW lf = {};
    // Tenths of a point to device pixels, then to logical units (as the map mode says).
    POINT pt = {0, MulDiv(GetDeviceCaps(target, LOGPIXELSY), size, 720)};
    POINT origin = {0, 0};
    DPtoLP(target, &pt, 1);
    DPtoLP(target, &origin, 1);
    lf.lfHeight = -std::abs(static_cast<int>(pt.y - origin.y));
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, face ? face : L"", LF_FACESIZE);
    if (screen) ReleaseDC(nullptr, screen);
    return CreateFontIndirectW(&lf);
}
