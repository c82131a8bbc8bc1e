#include "foundation/WindowsVersion.h"

#include <windows.h>

bool IsVistaOrLater() {
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(&version)) return false;
#pragma GCC diagnostic pop
    return version.dwMajorVersion > 5;
}
