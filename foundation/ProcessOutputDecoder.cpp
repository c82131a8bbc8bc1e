#include "foundation/ProcessOutputDecoder.h"

#include "foundation/Utf.h"

std::wstring ProcessOutputDecoder::Feed(const std::string& bytes) {
    m_pending += bytes;
    size_t complete = CompleteUtf8Prefix(m_pending);
    std::wstring text = Utf8ToWideLenient(m_pending.substr(0, complete));
    m_pending.erase(0, complete);
    return text;
}

std::wstring ProcessOutputDecoder::Flush() {
    std::wstring text = Utf8ToWideLenient(m_pending);
    m_pending.clear();
    return text;
}
