#include "foundation/ProcessArguments.h"

std::vector<std::wstring> SplitProcessArguments(const std::wstring& text) {
    std::vector<std::wstring> args;
    size_t i = 0;
    const size_t n = text.size();
    for (;;) {
        while (i < n && (text[i] == L' ' || text[i] == L'\t')) ++i;
        if (i >= n) break;
        std::wstring arg;
        bool inQuotes = false;
        while (i < n) {
            wchar_t c = text[i];
            if (c == L'\\') {
                size_t slashes = 0;
                while (i < n && text[i] == L'\\') { ++slashes; ++i; }
                if (i < n && text[i] == L'"') {
                    arg.append(slashes / 2, L'\\');
                    if (slashes % 2 == 1) {
                        arg += L'"';
                        ++i;
                    }
                    // An even run leaves the quote to the next pass.
                } else {
                    arg.append(slashes, L'\\');
                }
                continue;
            }
            if (c == L'"') {
                if (inQuotes && i + 1 < n && text[i + 1] == L'"') {
                    arg += L'"';
                    i += 2;
                    continue;
                }
                inQuotes = !inQuotes;
                ++i;
                continue;
            }
            if (!inQuotes && (c == L' ' || c == L'\t')) break;
            arg += c;
            ++i;
        }
        args.push_back(arg);
    }
    return args;
}

std::wstring QuoteProcessArgument(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    size_t slashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        if (c == L'"') {
            quoted.append(slashes * 2 + 1, L'\\');
            quoted += L'"';
        } else {
            quoted.append(slashes, L'\\');
            quoted += c;
        }
        slashes = 0;
    }
    // Backslashes before the closing quote are doubled so that it stays a quote.
    quoted.append(slashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}
