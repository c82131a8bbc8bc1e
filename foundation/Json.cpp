#include "foundation/Json.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

// Recursive descent over [m_pos, m_end). Every failure returns null; partial trees are
// owned by unique_ptr or by their parent and are freed on the way out.
class Parser {
public:
    Parser(const wchar_t* begin, const wchar_t* end) : m_pos(begin), m_end(end) {}

    std::unique_ptr<JsonValue> ParseDocument() {
        if (!SkipWhitespace()) return nullptr;
        std::unique_ptr<JsonValue> root = ParseValue();
        if (!root) return nullptr;
        if (SkipWhitespace()) return nullptr;   // something follows the value
        return root;
    }

private:
    // Skips blanks; true when a character remains.
    bool SkipWhitespace() {
        while (m_pos < m_end &&
               (*m_pos == L' ' || *m_pos == L'\t' || *m_pos == L'\r' || *m_pos == L'\n')) {
            ++m_pos;
        }
        return m_pos < m_end;
    }

    // True (and the cursor moved past it) when the next characters are `word` in any
    // case. A letter after the word is left for the caller to reject.
    bool MatchWord(const wchar_t* word) {
        size_t n = 0;
        while (word[n]) ++n;
        if (static_cast<size_t>(m_end - m_pos) < n) return false;
        for (size_t i = 0; i < n; ++i) {
            wchar_t c = m_pos[i];
            if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
            if (c != word[i]) return false;
        }
        m_pos += n;
        return true;
    }

    std::unique_ptr<JsonValue> ParseValue() {
        if (m_pos >= m_end) return nullptr;
        const wchar_t c = *m_pos;
        if (c == L'"') {
            ++m_pos;
            auto value = std::make_unique<JsonValue>(std::wstring());
            if (!ExtractString(value->string)) return nullptr;
            return value;
        }
        if (MatchWord(L"true")) return std::make_unique<JsonValue>(true);
        if (MatchWord(L"false")) return std::make_unique<JsonValue>(false);
        if (MatchWord(L"null")) return std::make_unique<JsonValue>();
        if (c == L'-' || (c >= L'0' && c <= L'9')) return ParseNumber();
        if (c == L'[') return ParseArray();
        if (c == L'{') return ParseObject();
        return nullptr;
    }

    static int HexDigit(wchar_t c) {
        if (c >= L'0' && c <= L'9') return c - L'0';
        if (c >= L'a' && c <= L'f') return c - L'a' + 10;
        if (c >= L'A' && c <= L'F') return c - L'A' + 10;
        return -1;
    }

    // From just after the opening quote to just after the closing one.
    bool ExtractString(std::wstring& out) {
        while (m_pos < m_end) {
            const wchar_t c = *m_pos++;
            if (c == L'"') return true;
            if (c == L'\\') {
                if (m_pos >= m_end) return false;
                const wchar_t e = *m_pos++;
                switch (e) {
                case L'"': out += L'"'; break;
                case L'\\': out += L'\\'; break;
                case L'/': out += L'/'; break;
                case L'b': out += L'\b'; break;
                case L'f': out += L'\f'; break;
                case L'n': out += L'\n'; break;
                case L'r': out += L'\r'; break;
                case L't': out += L'\t'; break;
                case L'u': {
                    if (m_end - m_pos < 4) return false;
                    unsigned unit = 0;
                    for (int i = 0; i < 4; ++i) {
                        const int d = HexDigit(m_pos[i]);
                        if (d < 0) return false;
                        unit = unit * 16 + static_cast<unsigned>(d);
                    }
                    m_pos += 4;
                    out += static_cast<wchar_t>(unit);
                    break;
                }
                default:
                    return false;
                }
                continue;
            }
            if (static_cast<unsigned>(c) < 0x20 && c != L'\t') return false;
            out += c;
        }
        return false;   // the text ended inside the string
    }

    static bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

    // Validates the number grammar, then converts the lexeme with correct rounding.
    // The exponent's digits are not accumulated: a long exponent saturates.
    std::unique_ptr<JsonValue> ParseNumber() {
        std::string lexeme;
        bool negative = false;
        if (*m_pos == L'-') {
            negative = true;
            lexeme += '-';
            ++m_pos;
        }
        if (m_pos >= m_end || !IsDigit(*m_pos)) return nullptr;
        // Magnitude bookkeeping for an out-of-range result: the decimal position of the
        // first significant digit (positive: in the integer part).
        long long leadPosition = 0;
        bool significant = false;
        if (*m_pos == L'0') {
            lexeme += '0';
            ++m_pos;   // "012" leaves "12" for the caller to reject
        } else {
            while (m_pos < m_end && IsDigit(*m_pos)) {
                lexeme += static_cast<char>(*m_pos++);
                ++leadPosition;
            }
            significant = true;
        }
        if (m_pos < m_end && *m_pos == L'.') {
            ++m_pos;
            if (m_pos >= m_end || !IsDigit(*m_pos)) return nullptr;
            lexeme += '.';
            while (m_pos < m_end && IsDigit(*m_pos)) {
                if (!significant) {
                    if (*m_pos == L'0') --leadPosition;
                    else significant = true;
                }
                lexeme += static_cast<char>(*m_pos++);
            }
        }
        long long exponent = 0;
        if (m_pos < m_end && (*m_pos == L'e' || *m_pos == L'E')) {
            ++m_pos;
            bool expNegative = false;
            if (m_pos < m_end && (*m_pos == L'+' || *m_pos == L'-')) {
                expNegative = *m_pos == L'-';
                ++m_pos;
            }
            if (m_pos >= m_end || !IsDigit(*m_pos)) return nullptr;
            constexpr long long kSaturated = 100000;   // far beyond any double's range
            while (m_pos < m_end && IsDigit(*m_pos)) {
                if (exponent < kSaturated) exponent = exponent * 10 + (*m_pos - L'0');
                ++m_pos;
            }
            if (exponent > kSaturated) exponent = kSaturated;
            if (expNegative) exponent = -exponent;
            lexeme += 'e';
            lexeme += std::to_string(exponent);
        }
        double value = 0.0;
        const auto result = std::from_chars(lexeme.data(), lexeme.data() + lexeme.size(), value);
        if (result.ec == std::errc::result_out_of_range) {
            // Too large gives an infinity, too small a zero, with the sign kept.
            const bool overflow = significant && leadPosition + exponent > 0;
            value = overflow ? std::numeric_limits<double>::infinity() : 0.0;
            if (negative) value = -value;
        } else if (result.ec != std::errc() || result.ptr != lexeme.data() + lexeme.size()) {
            return nullptr;
        }
        return std::make_unique<JsonValue>(value);
    }

    bool Enter() { return ++m_depth <= Json::kMaxDepth; }
    void Leave() { --m_depth; }

    std::unique_ptr<JsonValue> ParseArray() {
        ++m_pos;   // '['
        if (!Enter()) return nullptr;
        auto array = std::make_unique<JsonValue>(std::vector<JsonValue*>());
        for (;;) {
            if (!SkipWhitespace()) return nullptr;
            if (array->array.empty() && *m_pos == L']') {
                ++m_pos;
                break;
            }
            std::unique_ptr<JsonValue> element = ParseValue();
            if (!element) return nullptr;
            array->array.push_back(element.release());
            if (!SkipWhitespace()) return nullptr;
            const wchar_t c = *m_pos++;
            if (c == L']') break;
            if (c != L',') return nullptr;
        }
        Leave();
        return array;
    }

    std::unique_ptr<JsonValue> ParseObject() {
        ++m_pos;   // '{'
        if (!Enter()) return nullptr;
        auto object = std::make_unique<JsonValue>(std::map<std::wstring, JsonValue*>());
        for (;;) {
            if (!SkipWhitespace()) return nullptr;
            if (object->object.empty() && *m_pos == L'}') {
                ++m_pos;
                break;
            }
            if (*m_pos != L'"') return nullptr;
            ++m_pos;
            std::wstring name;
            if (!ExtractString(name)) return nullptr;
            if (!SkipWhitespace() || *m_pos != L':') return nullptr;
            ++m_pos;
            if (!SkipWhitespace()) return nullptr;
            std::unique_ptr<JsonValue> value = ParseValue();
            if (!value) return nullptr;
            JsonValue*& slot = object->object[name];
            delete slot;   // a later duplicate replaces the earlier member
            slot = value.release();
            if (!SkipWhitespace()) return nullptr;
            const wchar_t c = *m_pos++;
            if (c == L'}') break;
            if (c != L',') return nullptr;
        }
        Leave();
        return object;
    }

    const wchar_t* m_pos;
    const wchar_t* m_end;
    int m_depth = 0;
};

}  // namespace

std::unique_ptr<JsonValue> Json::Parse(const std::wstring& text) {
    Parser parser(text.data(), text.data() + text.size());
    return parser.ParseDocument();
}
