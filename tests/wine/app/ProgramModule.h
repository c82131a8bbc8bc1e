#pragma once
#include <windows.h>

#include <string>

// The built brivane.exe beside this test (build/app seen from build/tests).
inline std::wstring ProgramExePath() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L'\\')) + L"\\..\\app\\brivane.exe";
}

// The program loaded as data, for its resources; null when it is not built. The caller
// frees it.
inline HMODULE LoadProgramResources() {
    return LoadLibraryExW(ProgramExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}
