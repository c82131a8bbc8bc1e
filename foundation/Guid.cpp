#include "foundation/Guid.h"

#include "foundation/Random.h"

std::wstring RandomGuidString() {
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring text = L"{";
    const int groups[] = {8, 4, 4, 4, 12};
    for (int i = 0; i < 5; ++i) {
        if (i > 0) text += L'-';
        text += RandomString(groups[i], kHex, 16);
    }
    text += L'}';
    return text;
}

#ifndef _WIN32
std::wstring GenerateGuidString() {
    return RandomGuidString();
}
#endif
