// Test helper: writes the clipboard's picture (CF_DIB) as a BMP file, so that a test can
// read what another process put on the clipboard.
//   clipdib OUT.bmp
// Exit code 0 when written, 1 when the clipboard holds no picture, 2 on bad arguments,
// 3 when the file cannot be written.
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    if (!OpenClipboard(nullptr)) return 1;
    int result = 1;
    HANDLE data = GetClipboardData(CF_DIB);
    const BITMAPINFOHEADER* header = data ? static_cast<const BITMAPINFOHEADER*>(GlobalLock(data)) : nullptr;
    if (header) {
        SIZE_T size = GlobalSize(data);
        DWORD colours = header->biClrUsed;
        if (colours == 0 && header->biBitCount <= 8) colours = 1u << header->biBitCount;
        DWORD masks = header->biCompression == BI_BITFIELDS ? 12 : 0;
        BITMAPFILEHEADER file = {};
        file.bfType = 0x4D42;
        file.bfSize = static_cast<DWORD>(sizeof(file) + size);
        file.bfOffBits = static_cast<DWORD>(sizeof(file) + header->biSize + masks + colours * 4);
        FILE* out = _wfopen(argv[1], L"wb");
        if (out) {
            bool ok = fwrite(&file, sizeof(file), 1, out) == 1 && fwrite(header, 1, size, out) == size;
            result = fclose(out) == 0 && ok ? 0 : 3;
        } else {
            result = 3;
        }
        GlobalUnlock(data);
    }
    CloseClipboard();
    return result;
}
