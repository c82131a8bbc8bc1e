#pragma once
#include <string>

// Constructed before any other static object of the program, so that the application
// object's constructor (a static object itself) can fill the program folders.
#if defined(__GNUC__)
#define BRIVANE_EARLY_INIT __attribute__((init_priority(1000)))
#else
#define BRIVANE_EARLY_INIT
#endif

// Program folders, computed once by the application object's constructor and never
// changed afterwards; read from any thread without a lock.
extern std::wstring g_appExeFolder;
extern std::wstring g_appCommonFolder;
extern std::wstring g_appTmpFolder;
extern std::wstring g_appPluginDllPath;
extern std::wstring g_appRoamingFolder;
extern std::wstring g_appLocalFolder;
extern std::wstring g_appSettingsPath;
extern std::wstring g_appLogFolder;
extern std::wstring g_appCurlPath;

// Fills the folders above and creates the temporary, local and log folders when
// missing (with unrestricted access). False when the common application-data folder
// is unknown; the caller ends the process.
bool InitProgramFolders();

// Creates a folder (and its missing parents) that every user may write to, unless it
// exists as a directory already.
void CreateFolderForEveryone(const std::wstring& folder);
