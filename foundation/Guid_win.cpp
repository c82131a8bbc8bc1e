#include "foundation/Guid.h"

#include <windows.h>
#include <objbase.h>

std::wstring GenerateGuidString() {
    GUID guid;
    wchar_t text[39] = {};
    if (SUCCEEDED(CoCreateGuid(&guid)) && StringFromGUID2(guid, text, 39) == 39) {
        return text;
    }
    return RandomGuidString();
}
