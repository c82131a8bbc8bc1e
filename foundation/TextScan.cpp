#include "foundation/TextScan.h"

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}

bool ReadNextUnsignedIntegerFromBuffer(const char* text, size_t length, size_t& position,
                                       uint32_t& value) {
    size_t pos = position;
    while (pos < length && text[pos] != '\0') {
        if (!IsDigit(text[pos])) {
            ++pos;
            continue;
        }
        // A digit run. The settings file is user-editable, so a run of any length may
        // arrive here; accumulate with an overflow check and skip a run that is too big.
        uint64_t run = 0;
        bool fits = true;
        while (pos < length && IsDigit(text[pos])) {
            if (fits) {
                run = run * 10 + static_cast<uint64_t>(text[pos] - '0');
                if (run > UINT32_MAX) fits = false;
            }
            ++pos;
        }
        if (fits) {
            value = static_cast<uint32_t>(run);
            position = pos;
            return true;
        }
    }
    return false;
}

std::vector<int> ParseNumbers(const std::string& text) {
    std::vector<int> numbers;
    size_t position = 0;
    uint32_t value = 0;
    while (ReadNextUnsignedIntegerFromBuffer(text.data(), text.size(), position, value)) {
        numbers.push_back(static_cast<int>(value));
    }
    return numbers;
}

std::string JoinNumbers(const std::vector<int>& numbers) {
    std::string out;
    for (size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0) out += ',';
        out += std::to_string(static_cast<uint32_t>(numbers[i]));
    }
    return out;
}

bool ExtractQuotedText(const std::string& text, size_t& position, std::string& out) {
    out.clear();
    const size_t length = text.size();
    auto atEnd = [&]() { return position >= length || text[position] == '\0'; };
    // Up to and including the opening quote.
    for (;;) {
        if (atEnd()) return false;
        if (text[position++] == '"') break;
    }
    if (atEnd()) return false;
    while (!atEnd()) {
        const char c = text[position++];
        if (c == '"') return true;
        out += c;
    }
    return false;
}
