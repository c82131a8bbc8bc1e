#include "service/logic/Identifiers.h"

#include "foundation/DayCode.h"

#include <cctype>

namespace service {
namespace {

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

int TwoDigits(std::string_view s, size_t pos) {
    char a = s[pos], b = s[pos + 1];
    if (a < '0' || a > '9' || b < '0' || b > '9') return -1;
    return (a - '0') * 10 + (b - '0');
}

}  // namespace

bool IsIdChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsUid(std::string_view uid) {
    if (uid.size() < kMinUidLength || uid.size() > kMaxUidLength) return false;
    for (char c : uid) {
        if (!IsIdChar(c)) return false;
    }
    return true;
}

std::optional<std::string> NormalizeAppId(std::string_view text) {
    if (text.size() == 38) {
        if (text.front() != '{' || text.back() != '}') return std::nullopt;
        text = text.substr(1, 36);
    }
    if (text.size() != 36) return std::nullopt;
    std::string out = "{";
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? c != '-' : !IsHex(c)) return std::nullopt;
        out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    out += '}';
    return out;
}

std::optional<ServerName> ParseServerName(std::string_view text) {
    if (text.size() < 7 || text[6] != '/') return std::nullopt;
    int day = TwoDigits(text, 0), month = TwoDigits(text, 2), yy = TwoDigits(text, 4);
    if (day < 0 || month < 0 || yy < 0) return std::nullopt;
    int year = 2000 + yy;
    if (!IsValidDate(day, month, year)) return std::nullopt;
    int n = DayNumberSince2020(day, month, year);
    if (n < 0 || n > kMaxDayNumber) return std::nullopt;
    std::string_view uid = text.substr(7);
    if (!IsUid(uid)) return std::nullopt;
    return ServerName{n, std::string(uid)};
}

std::optional<std::string> NormalizeFileExt(std::string_view text) {
    if (!text.empty() && text.front() == '.') text.remove_prefix(1);
    if (text.size() > kMaxExtLength) return std::nullopt;
    for (char c : text) {
        if (!IsIdChar(c) && c != '_' && c != '-' && c != '+' && c != '~') return std::nullopt;
    }
    return std::string(text);
}

std::optional<UploadType> ParseUploadType(std::string_view text) {
    if (text == "0") return UploadType::Screenshot;
    if (text == "1") return UploadType::File;
    if (text == "2") return UploadType::Video;
    return std::nullopt;
}

char TypeLetter(UploadType type) {
    switch (type) {
        case UploadType::Screenshot: return 's';
        case UploadType::File: return 'f';
        case UploadType::Video: return 'v';
    }
    return 'f';
}

std::optional<UploadType> TypeFromLetter(char letter) {
    switch (letter) {
        case 's': return UploadType::Screenshot;
        case 'f': return UploadType::File;
        case 'v': return UploadType::Video;
        default: return std::nullopt;
    }
}

}  // namespace service
