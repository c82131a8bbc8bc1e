#include "core/CvxException.h"

#include <windows.h>

#include "foundation/Format.h"

namespace {

// What the COM error object would say for the HRESULT: the system's message, or
// "Unknown error 0x%08X" when the system has none.
std::wstring HresultText(long hr) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(hr), 0,
                                  reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message;
    if (length && text) {
        message.assign(text, length);
        while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r'))
            message.pop_back();
    }
    if (text) LocalFree(text);
    if (message.empty()) {
        wchar_t buffer[32];
        _snwprintf(buffer, 32, L"Unknown error 0x%08lX", static_cast<unsigned long>(hr));
        buffer[31] = L'\0';
        message = buffer;
    }
    return message;
}

}  // namespace

CvxException::CvxException(long hr) : CvxException(HresultText(hr)) {}
