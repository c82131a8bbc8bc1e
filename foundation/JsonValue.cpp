#include "foundation/JsonValue.h"

#include <cmath>
#include <cstdint>
#include <locale>
#include <sstream>

JsonValue::JsonValue(const wchar_t* text) : type(JsonType::String), string(text ? text : L"") {}

JsonValue::JsonValue(const std::wstring& text) : type(JsonType::String), string(text) {}

JsonValue::JsonValue(bool value) : type(JsonType::Bool), boolean(value) {}

JsonValue::JsonValue(double value) : type(JsonType::Number), number(value) {}

JsonValue::JsonValue(const std::vector<JsonValue*>& elements)
    : type(JsonType::Array), array(elements) {}

JsonValue::JsonValue(const std::map<std::wstring, JsonValue*>& members, bool notOwned)
    : type(JsonType::Object), object(members), membersNotOwned(notOwned) {}

JsonValue::~JsonValue() {
    for (JsonValue* element : array) delete element;
    if (!membersNotOwned) {
        for (auto& member : object) delete member.second;
    }
}

const JsonValue* JsonValue::Find(const std::wstring& name) const {
    if (type != JsonType::Object) return nullptr;
    auto it = object.find(name);
    return it == object.end() ? nullptr : it->second;
}

std::wstring JsonValue::Stringify() const {
    std::wstring out;
    StringifyTo(out);
    return out;
}

void JsonValue::StringifyTo(std::wstring& out) const {
    switch (type) {
    case JsonType::Null:
        out += L"null";
        break;
    case JsonType::String:
        out += StringifyString(string);
        break;
    case JsonType::Bool:
        out += boolean ? L"true" : L"false";
        break;
    case JsonType::Number:
        out += StringifyNumber(number);
        break;
    case JsonType::Array:
        out += L'[';
        for (size_t i = 0; i < array.size(); ++i) {
            if (i > 0) out += L',';
            if (array[i]) array[i]->StringifyTo(out);
            else out += L"null";
        }
        out += L']';
        break;
    case JsonType::Object: {
        out += L'{';
        bool first = true;
        for (const auto& member : object) {
            if (!first) out += L',';
            first = false;
            out += StringifyString(member.first);
            out += L':';
            if (member.second) member.second->StringifyTo(out);
            else out += L"null";
        }
        out += L'}';
        break;
    }
    }
}

std::wstring JsonValue::StringifyNumber(double value) {
    if (!std::isfinite(value)) return L"null";
    // Integral values are written exactly: colours (16777215), sizes (2147483648) and
    // time stamps would otherwise lose their low digits to six significant digits.
    constexpr double kExactLimit = 9007199254740992.0;   // 2^53
    if (value != 0 && std::fabs(value) < kExactLimit && std::trunc(value) == value) {
        return std::to_wstring(static_cast<int64_t>(value));
    }
    std::wostringstream stream;
    stream.imbue(std::locale::classic());
    stream << value;   // six significant digits, shorter of fixed and exponent form
    return stream.str();
}

std::wstring JsonValue::StringifyString(const std::wstring& text) {
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring out;
    out.reserve(text.size() + 2);
    out += L'"';
    for (wchar_t c : text) {
        switch (c) {
        case L'"': out += L"\\\""; break;
        case L'\\': out += L"\\\\"; break;
        case L'/': out += L"\\/"; break;
        case L'\b': out += L"\\b"; break;
        case L'\t': out += L"\\t"; break;
        case L'\n': out += L"\\n"; break;
        case L'\f': out += L"\\f"; break;
        case L'\r': out += L"\\r"; break;
        default:
            if (static_cast<unsigned>(c) < 0x20) {
                out += L"\\u00";
                out += kHex[(c >> 4) & 0xF];
                out += kHex[c & 0xF];
            } else {
                out += c;
            }
        }
    }
    out += L'"';
    return out;
}
