// Painting text into the image's own pixels, through GDI text rendering into a
// scratch bitmap.
#include <windows.h>

#include <cmath>
#include <cstring>
#include <cwchar>

#include "foundation/WinHandles.h"
#include "image/PxImage.h"

namespace {
// The text drawn white on black into a zeroed 24-bit bitmap of its own size;
// `mask` is that bitmap as an image (rows bottom-up, as always).
bool RenderTextMask(HDC compatible, const wchar_t* text, const LOGFONTW& lf, PxImage& mask, RECT& size) {
    UniqueDC memory(CreateCompatibleDC(compatible));
    if (!memory) return false;
    HDC mem = memory.get();
    UniqueFont ownFont(CreateFontIndirectW(&lf));
    HFONT font = ownFont ? ownFont.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SelectScope selectFont(mem, font);
    size = {0, 0, 0, 0};
    DrawTextW(mem, text, -1, &size, DT_CALCRECT | DT_NOPREFIX);
    bool ok = false;
    long w = size.right, h = size.bottom;
    if (w > 0 && h > 0) {
        BITMAPINFO bmi;
        std::memset(&bmi, 0, sizeof(bmi));
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = w;
        bmi.bmiHeader.biHeight = h;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 24;
        void* bits = nullptr;
        UniqueBitmap section(CreateDIBSection(mem, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (section && bits) {
            long rowBytes = ((w * 24 + 31) / 32) * 4;
            std::memset(bits, 0, static_cast<size_t>(rowBytes) * h);
            SelectScope selectSection(mem, section.get());
            SetTextColor(mem, RGB(255, 255, 255));
            SetBkColor(mem, RGB(0, 0, 0));
            SetBkMode(mem, OPAQUE);
            RECT r = size;
            DrawTextW(mem, text, -1, &r, DT_NOPREFIX);
            GdiFlush();
            ok = mask.CreateFromArray(static_cast<uint8_t*>(bits), static_cast<uint32_t>(w), static_cast<uint32_t>(h), 24,
                                      static_cast<uint32_t>(rowBytes), false);
        }
    }
    return ok;
}
}  // namespace

long PxImage::DrawString(HDC dc, long x, long y, const wchar_t* text, RGBQUAD color, const wchar_t* face, long height,
                         long weight, bool italic, bool underline, bool setAlpha) {
    // Nothing is drawn into an empty image, and that is not success.
    if (!m_dib || !text) return 0;
    LOGFONTW lf;
    std::memset(&lf, 0, sizeof(lf));
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfItalic = italic ? 1 : 0;
    lf.lfUnderline = underline ? 1 : 0;
    lf.lfCharSet = DEFAULT_CHARSET;
    if (face) wcsncpy(lf.lfFaceName, face, 31);
    PxImage mask;
    RECT size;
    if (!RenderTextMask(dc, text, lf, mask, size)) return 1;
    long h = static_cast<long>(GetHeight());
    long mh = static_cast<long>(mask.GetHeight()), mw = static_cast<long>(mask.GetWidth());
    for (long row = 0; row < mh; ++row)        // counted from the top
        for (long col = 0; col < mw; ++col) {
            if (mask.GetPixelColor(col, mh - 1 - row, false).rgbBlue == 0) continue;
            SetPixelColor(x + col, h - 1 - (y + row), color, setAlpha);
        }
    return 1;
}

void PxImage::InitTextInfo(tagPxTextInfo* info) {
    if (!info) return;
    std::memset(info, 0, sizeof(*info));
    wcsncpy(info->text, L"Sample Text 01234\x0445\x044B", 4095);
    info->lfont.lfHeight = -36;
    info->lfont.lfWeight = 400;
    info->lfont.lfCharSet = 238;
    info->lfont.lfQuality = 2;
    wcsncpy(info->lfont.lfFaceName, L"Arial", 31);
    info->fcolor = RGB(255, 255, 160);
    info->bcolor = RGB(32, 96, 0);
    info->opaque = true;
    info->b_opacity = 0.0f;
    info->b_round = 20;
    info->align = 1;
}

long PxImage::DrawStringEx(HDC dc, long x, long y, tagPxTextInfo* info, bool setAlpha) {
    if (!m_dib || !info) return -1;
    WindowDC screen;
    if (!dc) {
        screen = WindowDC(nullptr);
        dc = screen.get();
    }
    PxImage mask;
    RECT size;
    bool rendered = RenderTextMask(dc, info->text, info->lfont, mask, size);
    screen.reset();
    if (!rendered) return 0;

    long textW = static_cast<long>(mask.GetWidth()), textH = static_cast<long>(mask.GetHeight());
    int align = info->align <= 2 ? info->align : 1;
    if (align == 1) x -= textW / 2;
    else if (align == 2) x -= textW;
    if (x < 0) x = 0;
    long lines = 1;
    for (const wchar_t* p = info->text; *p; ++p)
        if (*p == L'\r') ++lines;
    long lineH = textH / lines;
    if (info->lfont.lfItalic) textW += lineH / 2;
    long imgH = static_cast<long>(GetHeight());

    if (info->opaque) {
        long radius = info->b_round > 50 ? 10 : info->b_round;
        long r = lineH * radius / 100;
        long margin = static_cast<long>(lineH / 3 + r * 0.29289f);
        long left = x - margin, top = y - margin, right = x + textW + margin, bottom = y + textH + margin;
        RGBQUAD bg = RGBtoRGBQUAD(info->bcolor);
        bg.rgbReserved = 255;
        float blend = (info->b_opacity > 0.0f && info->b_opacity < 1.0f) ? 1.0f - info->b_opacity : 1.0f;
        for (long py = top; py < bottom; ++py)
            for (long px = left; px < right; ++px) {
                // Rounded corners: outside the quarter circles the box is not painted.
                long cxr = px < left + r ? left + r : (px >= right - r ? right - r - 1 : px);
                long cyr = py < top + r ? top + r : (py >= bottom - r ? bottom - r - 1 : py);
                long ddx = px - cxr, ddy = py - cyr;
                if (r > 0 && ddx * ddx + ddy * ddy > r * r) continue;
                if (blend < 1.0f) BlendPixelColor(px, imgH - 1 - py, bg, blend, setAlpha);
                else SetPixelColor(px, imgH - 1 - py, bg, setAlpha);
            }
    }
    RGBQUAD fg = RGBtoRGBQUAD(info->fcolor);
    fg.rgbReserved = 255;
    long mh = static_cast<long>(mask.GetHeight()), mw = static_cast<long>(mask.GetWidth());
    for (long row = 0; row < mh; ++row)
        for (long col = 0; col < mw; ++col)
            if (mask.GetPixelColor(col, mh - 1 - row, false).rgbBlue != 0)
                SetPixelColor(x + col, imgH - 1 - (y + row), fg, setAlpha);
    return 1;
}
