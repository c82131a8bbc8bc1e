#pragma once
// Where the client tests find a curl executable, and how they decode form bodies.
#include <gtest/gtest.h>

#include <map>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace server_test {

// curl.exe beside the test program (the build copies it there); natively the system's
// curl, or "" when there is none.
inline std::wstring CurlPath() {
#ifdef _WIN32
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    p = p.substr(0, p.find_last_of(L'\\')) + L"\\curl.exe";
    return GetFileAttributesW(p.c_str()) == INVALID_FILE_ATTRIBUTES ? L"" : p;
#else
    for (const char* p : {"/usr/bin/curl", "/bin/curl", "/usr/local/bin/curl"}) {
        if (access(p, X_OK) == 0) return std::wstring(p, p + strlen(p));
    }
    return L"";
#endif
}

inline std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// application/x-www-form-urlencoded, decoded the way any collector decodes it.
inline std::map<std::string, std::string> DecodeForm(const std::string& body) {
    auto decode = [](const std::string& s) {
        std::string out;
        for (size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '+') out += ' ';
            else if (s[i] == '%' && i + 2 < s.size()) {
                out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else out += s[i];
        }
        return out;
    };
    std::map<std::string, std::string> fields;
    size_t start = 0;
    while (start <= body.size()) {
        size_t end = body.find('&', start);
        std::string pair = body.substr(start, end == std::string::npos ? std::string::npos : end - start);
        size_t eq = pair.find('=');
        if (!pair.empty()) fields[decode(pair.substr(0, eq))] = eq == std::string::npos ? "" : decode(pair.substr(eq + 1));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return fields;
}

}  // namespace server_test

namespace server_test {

// The field names of a form body in their order.
inline std::vector<std::string> FormKeys(const std::string& body) {
    std::vector<std::string> keys;
    size_t start = 0;
    for (;;) {
        size_t end = body.find('&', start);
        std::string pair = body.substr(start, end == std::string::npos ? std::string::npos : end - start);
        keys.push_back(pair.substr(0, pair.find('=')));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return keys;
}

}  // namespace server_test
