#pragma once
#include <string>

// Turns a stream of UTF-8 byte chunks into wide text. An incomplete sequence at the end
// of a chunk is kept and completed by the next one; malformed bytes become U+FFFD.
// One decoder per stream; not thread-safe.
class ProcessOutputDecoder {
public:
    // Text for every complete character so far.
    std::wstring Feed(const std::string& bytes);
    // Text for what is still kept (an incomplete sequence gives U+FFFD); the decoder is
    // then empty again.
    std::wstring Flush();

private:
    std::string m_pending;
};
