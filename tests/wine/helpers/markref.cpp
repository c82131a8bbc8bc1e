// Test helper: draws reference marks onto a picture the way the editor's marks are
// meant to look, so that an end-to-end test can compare the editor's result with it.
//   markref GRAPHIN.dll IN.bmp OUT.bmp < commands
// Prints "cycursor N" (SM_CYCURSOR) first. Commands, one a line, in the picture's pixels:
//   create W H                       a new graphin image and its graphics
//   width W                          stroke width (floating point)
//   linecolor R G B T / fillcolor R G B T   colours (T: transparency)
//   line X1 Y1 X2 Y2                 a stroke (floating point)
//   triangle X1 Y1 X2 Y2 X3 Y3       a filled triangle
//   blit X Y W H                     composites the image onto the picture, releases it
//   text X Y SIZE R G B FACE|TEXT    GDI text: a point-size font (SIZE in tenths), top-left
//   label X Y SIZE FACE|TEXT         GDI text white on opaque black, top-left at (X, Y);
//                                    prints "label L T R B", the rectangle it fills
// graphin.dll is loaded from the given path and called by ordinal.
// Exit code 0 when written, 2 on bad arguments, 3 when a file cannot be read or written,
// 4 when graphin.dll lacks an operation.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

typedef int(__stdcall* CreateImageFn)(int, int, void**);
typedef int(__stdcall* ReleaseFn)(void*);
typedef int(__stdcall* BlitFn)(void*, int, int, void*, int, int, int, int, int);
typedef int(__stdcall* CreateGraphicsFn)(void*, void**);
typedef unsigned(__stdcall* MakeColorFn)(int, int, int, int);
typedef int(__stdcall* LineFn)(void*, double, double, double, double);
typedef int(__stdcall* TriangleFn)(void*, double, double, double, double, double, double);
typedef int(__stdcall* WidthFn)(void*, double);
typedef int(__stdcall* ColorFn)(void*, unsigned);

template <typename Fn>
bool Ordinal(HMODULE module, int ordinal, Fn& fn) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(ordinal))));
    return fn != nullptr;
}

bool WriteBmp(const wchar_t* path, HDC dc, HBITMAP bitmap, int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const int stride = (width * 3 + 3) & ~3;
    std::vector<unsigned char> bits(static_cast<size_t>(stride) * height);
    if (!GetDIBits(dc, bitmap, 0, height, bits.data(), &info, DIB_RGB_COLORS)) return false;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = static_cast<DWORD>(file.bfOffBits + bits.size());
    FILE* out = _wfopen(path, L"wb");
    if (!out) return false;
    bool ok = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
              fwrite(bits.data(), 1, bits.size(), out) == bits.size();
    return fclose(out) == 0 && ok;
}

// A font of SIZE tenths of a point for the screen's resolution.
HFONT PointFont(int size, const std::wstring& face) {
    HDC ref = GetDC(nullptr);
    LOGFONTW lf = {};
    lf.lfHeight = -MulDiv(GetDeviceCaps(ref, LOGPIXELSY), size, 720);
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    ReleaseDC(nullptr, ref);
    return CreateFontIndirectW(&lf);
}

std::wstring Wide(const std::string& s) {
    int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
    std::wstring out(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, &out[0], n);
    return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return 2;
    std::printf("cycursor %d\n", GetSystemMetrics(SM_CYCURSOR));
    std::fflush(stdout);
    HMODULE graphin = LoadLibraryW(argv[1]);
    if (!graphin) return 4;
    CreateImageFn createImage;
    ReleaseFn releaseImage, releaseGraphics;
    BlitFn blit;
    CreateGraphicsFn createGraphics;
    MakeColorFn makeColor;
    LineFn drawLine;
    TriangleFn drawTriangle;
    WidthFn setWidth;
    ColorFn setLineColor, setFillColor;
    if (!(Ordinal(graphin, 1, createImage) && Ordinal(graphin, 2, releaseImage) && Ordinal(graphin, 4, blit) &&
          Ordinal(graphin, 10, createGraphics) && Ordinal(graphin, 11, releaseGraphics) &&
          Ordinal(graphin, 12, makeColor) && Ordinal(graphin, 13, drawLine) && Ordinal(graphin, 14, drawTriangle) &&
          Ordinal(graphin, 40, setWidth) && Ordinal(graphin, 41, setLineColor) && Ordinal(graphin, 42, setFillColor)))
        return 4;

    HBITMAP loaded = static_cast<HBITMAP>(LoadImageW(nullptr, argv[2], IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    BITMAP info;
    if (!loaded || !GetObjectW(loaded, sizeof info, &info)) return 3;
    const int width = info.bmWidth, height = info.bmHeight;
    // The picture as a 32-bit bitmap compatible with the screen, as the editor holds it.
    HDC screen = GetDC(nullptr);
    HBITMAP picture = CreateCompatibleBitmap(screen, width, height);
    HDC dc = CreateCompatibleDC(screen);
    HDC source = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    HGDIOBJ oldPicture = SelectObject(dc, picture);
    HGDIOBJ oldSource = SelectObject(source, loaded);
    BitBlt(dc, 0, 0, width, height, source, 0, 0, SRCCOPY);
    SelectObject(source, oldSource);
    DeleteDC(source);
    DeleteObject(loaded);

    void* image = nullptr;
    void* graphics = nullptr;
    char line[4096];
    while (std::fgets(line, sizeof line, stdin)) {
        char op[32] = {};
        double a[6] = {};
        int r, g, b, t, size, consumed = 0;
        if (std::sscanf(line, "%31s", op) != 1) continue;
        std::string cmd(op);
        if (cmd == "create" && std::sscanf(line, "%*s %lf %lf", &a[0], &a[1]) == 2) {
            createImage(static_cast<int>(a[0]), static_cast<int>(a[1]), &image);
            createGraphics(image, &graphics);
        } else if (cmd == "width" && std::sscanf(line, "%*s %lf", &a[0]) == 1) {
            setWidth(graphics, a[0]);
        } else if ((cmd == "linecolor" || cmd == "fillcolor") && std::sscanf(line, "%*s %d %d %d %d", &r, &g, &b, &t) == 4) {
            (cmd == "linecolor" ? setLineColor : setFillColor)(graphics, makeColor(r, g, b, t));
        } else if (cmd == "line" && std::sscanf(line, "%*s %lf %lf %lf %lf", &a[0], &a[1], &a[2], &a[3]) == 4) {
            drawLine(graphics, a[0], a[1], a[2], a[3]);
        } else if (cmd == "triangle" &&
                   std::sscanf(line, "%*s %lf %lf %lf %lf %lf %lf", &a[0], &a[1], &a[2], &a[3], &a[4], &a[5]) == 6) {
            drawTriangle(graphics, a[0], a[1], a[2], a[3], a[4], a[5]);
        } else if (cmd == "blit" && std::sscanf(line, "%*s %lf %lf %lf %lf", &a[0], &a[1], &a[2], &a[3]) == 4) {
            blit(dc, static_cast<int>(a[0]), static_cast<int>(a[1]), image, 0, 0, static_cast<int>(a[2]),
                 static_cast<int>(a[3]), 1);
            releaseGraphics(graphics);
            releaseImage(image);
            graphics = image = nullptr;
        } else if ((cmd == "text" &&
                    std::sscanf(line, "%*s %lf %lf %d %d %d %d %n", &a[0], &a[1], &size, &r, &g, &b, &consumed) == 6) ||
                   (cmd == "label" && std::sscanf(line, "%*s %lf %lf %d %n", &a[0], &a[1], &size, &consumed) == 3)) {
            std::string rest(line + consumed);
            size_t bar = rest.find('|');
            if (bar == std::string::npos) return 2;
            std::wstring face = Wide(rest.substr(0, bar));
            std::string text = rest.substr(bar + 1);
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
            std::wstring wide = Wide(text);
            const bool label = cmd == "label";
            HFONT font = PointFont(size, face);
            HGDIOBJ oldFont = SelectObject(dc, font);
            if (label) {
                SetTextColor(dc, RGB(255, 255, 255));
                SetBkColor(dc, RGB(0, 0, 0));
                SetBkMode(dc, OPAQUE);
            } else {
                SetTextColor(dc, RGB(r, g, b));
                SetBkMode(dc, TRANSPARENT);
            }
            RECT box = {static_cast<LONG>(a[0]), static_cast<LONG>(a[1]), static_cast<LONG>(a[0]), static_cast<LONG>(a[1])};
            DrawTextW(dc, wide.c_str(), -1, &box, DT_CALCRECT);
            DrawTextW(dc, wide.c_str(), -1, &box, 0);
            SelectObject(dc, oldFont);
            DeleteObject(font);
            if (label) {
                std::printf("label %ld %ld %ld %ld\n", box.left, box.top, box.right, box.bottom);
                std::fflush(stdout);
            }
        } else {
            std::fprintf(stderr, "markref: bad command: %s", line);
            return 2;
        }
    }
    SelectObject(dc, oldPicture);
    bool written = WriteBmp(argv[3], dc, picture, width, height);
    DeleteDC(dc);
    DeleteObject(picture);
    return written ? 0 : 3;
}
