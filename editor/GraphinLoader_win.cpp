#include <windows.h>

#include <mutex>
#include <string>

#include "editor/GraphinTable.h"
#include "foundation/Log.h"

namespace {

template <typename Fn>
bool Resolve(HMODULE module, int ordinal, Fn& fn) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(ordinal))));
    return fn != nullptr;
}

// graphin.dll beside the program (not wherever the search path would find one).
HMODULE LoadBesideProgram() {
    wchar_t path[MAX_PATH * 2];
    DWORD length = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(sizeof path / sizeof path[0]));
    if (length == 0 || length >= sizeof path / sizeof path[0]) return nullptr;
    std::wstring folder(path, length);
    size_t slash = folder.find_last_of(L"\\/");
    folder = slash == std::wstring::npos ? L"" : folder.substr(0, slash + 1);
    return LoadLibraryW((folder + L"graphin.dll").c_str());
}

}  // namespace

bool LoadGraphinTable(void* handle, GraphinTable& table) {
    HMODULE module = static_cast<HMODULE>(handle);
    table = GraphinTable();
    if (!module) return false;
    Resolve(module, kGraphinOrdCreateImage, table.CreateImage);
    Resolve(module, kGraphinOrdReleaseImage, table.ReleaseImage);
    Resolve(module, kGraphinOrdBlitImage, table.BlitImage);
    Resolve(module, kGraphinOrdCreateGraphics, table.CreateGraphics);
    Resolve(module, kGraphinOrdReleaseGraphics, table.ReleaseGraphics);
    Resolve(module, kGraphinOrdMakeColor, table.MakeColor);
    Resolve(module, kGraphinOrdDrawLine, table.DrawLine);
    Resolve(module, kGraphinOrdDrawTriangle, table.DrawTriangle);
    Resolve(module, kGraphinOrdSetLineWidth, table.SetLineWidth);
    Resolve(module, kGraphinOrdSetLineColor, table.SetLineColor);
    Resolve(module, kGraphinOrdSetFillColor, table.SetFillColor);
    return table.IsComplete();
}

const GraphinTable* LoadDefaultGraphin() {
    static GraphinTable table;
    static bool loaded = false;
    static std::once_flag once;
    std::call_once(once, [] {
        HMODULE module = LoadBesideProgram();
        if (!module) {
            Log("graphin.dll: cannot be loaded (error %lu); lines and arrows are not drawn\n", GetLastError());
            return;
        }
        loaded = LoadGraphinTable(module, table);
        if (!loaded) Log("graphin.dll: an operation is missing; lines and arrows are not drawn\n");
    });
    return loaded ? &table : nullptr;
}
