#include "service/logic/Options.h"

#include <cctype>

namespace service {
namespace {

bool ParseUnsigned(const std::string& text, uint64_t max, uint64_t& out) {
    if (text.empty() || text.size() > 19) return false;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > max) return false;
    out = value;
    return true;
}

bool IsHostChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == ':' || c == '_';
}

}  // namespace

bool ParseListenAddress(const std::string& text, ListenAddress& out) {
    size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    std::string host = text.substr(0, colon);
    if (host.front() == '[') {
        if (host.size() < 3 || host.back() != ']') return false;
        host = host.substr(1, host.size() - 2);
    } else if (host.find(':') != std::string::npos) {
        return false;  // IPv6 addresses need brackets
    }
    for (char c : host) {
        if (!IsHostChar(c)) return false;
    }
    uint64_t port = 0;
    if (!ParseUnsigned(text.substr(colon + 1), 65535, port)) return false;
    out.host = host;
    out.port = static_cast<int>(port);
    return true;
}

bool NormalizePublicUrl(const std::string& text, std::string& out) {
    // The sync reply carries it and must stay far below the program's 4 KB reply buffer.
    if (text.size() > 512) return false;
    std::string rest;
    if (text.rfind("http://", 0) == 0) {
        rest = text.substr(7);
    } else if (text.rfind("https://", 0) == 0) {
        rest = text.substr(8);
    } else {
        return false;
    }
    if (rest.empty() || rest.front() == '/') return false;
    for (char c : rest) {
        bool ok = std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_' ||
                  c == '~' || c == ':' || c == '/' || c == '[' || c == ']';
        if (!ok) return false;
    }
    std::string url = text;
    while (!url.empty() && url.back() == '/') url.pop_back();
    out = url;
    return true;
}

bool IsVersionText(const std::string& text) {
    if (text.empty() || text.size() > 32) return false;
    for (char c : text) {
        if (c != '.' && (c < '0' || c > '9')) return false;
    }
    return true;
}

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    bool listenGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i], value;
        bool inlineValue = false;
        size_t eq = name.find('=');
        if (name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            inlineValue = true;
        }
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        static const char* kWithValue[] = {"--listen", "--data", "--public-url", "--max-upload-size",
                                           "--latest-version", "--threads"};
        bool known = false;
        for (const char* n : kWithValue) known = known || name == n;
        if (!known) return fail("unknown option: " + name);
        if (!inlineValue) {
            if (i + 1 >= args.size()) return fail("missing value for " + name);
            value = args[++i];
        }
        if (name == "--listen") {
            ListenAddress address;
            if (!ParseListenAddress(value, address)) return fail("--listen wants HOST:PORT, got: " + value);
            if (!listenGiven) options.listen.clear();
            listenGiven = true;
            options.listen.push_back(address);
        } else if (name == "--data") {
            if (value.empty()) return fail("--data wants a folder");
            options.dataDir = value;
        } else if (name == "--public-url") {
            if (!NormalizePublicUrl(value, options.publicUrl))
                return fail("--public-url wants an http:// or https:// URL without quotes or blanks");
        } else if (name == "--max-upload-size") {
            uint64_t size = 0;
            if (!ParseUnsigned(value, 1ULL << 50, size) || size == 0)
                return fail("--max-upload-size wants a positive number of bytes");
            options.maxUploadSize = size;
        } else if (name == "--latest-version") {
            if (!IsVersionText(value)) return fail("--latest-version wants digits and dots, like 3.10.0.58");
            options.latestVersion = value;
        } else if (name == "--threads") {
            uint64_t n = 0;
            if (!ParseUnsigned(value, 1024, n) || n == 0) return fail("--threads wants 1..1024");
            options.threads = static_cast<int>(n);
        }
    }
    if (options.listen.empty()) options.listen.push_back(ListenAddress{"127.0.0.1", 8080});
    return true;
}

std::string UsageText() {
    return "Usage: brivane-service [options]\n"
           "  --listen HOST:PORT       address to serve on (repeatable; default 127.0.0.1:8080;\n"
           "                           port 0 picks a free port; [::1]:PORT for IPv6)\n"
           "  --data DIR               database and stored files (default ./brivane-data;\n"
           "                           created when missing)\n"
           "  --public-url URL         base address used in links and pages\n"
           "                           (default: http:// plus the request's Host)\n"
           "  --max-upload-size BYTES  largest accepted file (default 2147483648)\n"
           "  --latest-version TEXT    newest program version, digits and dots (default 0.0.0.0)\n"
           "  --threads N              request threads (default 64)\n"
           "  --help                   this text\n"
           "Plain HTTP only: put a TLS reverse proxy in front for https.\n";
}

}  // namespace service
