#pragma once
// Windows only: DLLs loaded at run time instead of imported, so that a process maps one
// only when it first needs it.
#include <windows.h>

#include <cstring>
#include <string>

#include "foundation/Log.h"

// One loaded DLL, freed when its owner goes. Move-only.
class SystemLibrary {
public:
    SystemLibrary() = default;
    // Loads `name` (a file name such as L"d3d9.dll", found the way LoadLibraryW finds
    // it). A failure leaves the object empty with Error() set; nothing is logged here.
    explicit SystemLibrary(const wchar_t* name);
    ~SystemLibrary();
    SystemLibrary(SystemLibrary&& other) noexcept;
    SystemLibrary& operator=(SystemLibrary&& other) noexcept;
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    bool IsLoaded() const { return m_module != nullptr; }
    // GetLastError of the failed load; 0 when loaded or never tried.
    DWORD Error() const { return m_error; }
    HMODULE get() const { return m_module; }
    void reset();

    // Sets `fn` to the export `name`, or to null when the library is not loaded or has no
    // such export; true when found. Give `fn` the declaration's own type
    // (decltype(&Direct3DCreate9)) so that its calling convention comes along: on i686
    // the system's functions are __stdcall.
    template <class F>
    bool Find(const char* name, F& fn) const {
        FARPROC address = m_module ? GetProcAddress(m_module, name) : nullptr;
        fn = reinterpret_cast<F>(reinterpret_cast<void*>(address));
        return fn != nullptr;
    }

private:
    HMODULE m_module = nullptr;
    DWORD m_error = 0;
};

// What the call of a missing function counts as where an HRESULT is expected:
// HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND).
constexpr HRESULT kFunctionMissing = HRESULT(0x8007007FL);

// Loads `dll` and fills a table of its functions: `fill(find, table)` calls
// find("Name", table.Name) for each one. A library that cannot be loaded, or a function
// it lacks, is logged; its entries stay null and the callers treat them as failing calls.
// The library stays loaded for the rest of the process, because objects made through it
// may live as long: call this once, from a function-local static.
template <class Functions, class Fill>
const Functions& LoadLibraryForProcess(const char* dll, Fill fill) {
    struct Loaded {
        SystemLibrary library;
        Functions functions;
    };
    const std::wstring name(dll, dll + std::strlen(dll));
    // Never deleted: freeing the DLL at exit could pull code from under objects that
    // static destructors still release.
    auto* loaded = new Loaded{SystemLibrary(name.c_str()), Functions{}};
    if (!loaded->library.IsLoaded())
        Log("Cannot load %s: error %lu\n", dll, static_cast<unsigned long>(loaded->library.Error()));
    auto find = [&](const char* function, auto& fn) {
        if (!loaded->library.Find(function, fn) && loaded->library.IsLoaded())
            Log("%s has no %s\n", dll, function);
    };
    fill(find, loaded->functions);
    return loaded->functions;
}
