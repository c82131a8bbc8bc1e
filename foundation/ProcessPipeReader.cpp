#include "foundation/ProcessPipeReader.h"

#include <cstring>
#include <vector>

bool ProcessPipeReader::ReadAvailable(std::wstring& chunk) {
    chunk.clear();
    std::vector<char> buffer(kChunkBytes, 0);
    int count = ReadPipeNow(m_pipe, buffer.data(), kChunkBytes);
    if (count < 0) return false;
    if (count == 0) return true;
    size_t length = strnlen(buffer.data(), static_cast<size_t>(count));
    chunk = m_decoder.Feed(std::string(buffer.data(), length));
    return true;
}

std::wstring ProcessPipeReader::ReadRest() {
    std::wstring text;
    std::wstring chunk;
    // Bounded by the writers: once every writer has gone the pipe reports broken, and
    // a writer that is still alive (a grandchild) ends it as soon as the pipe is empty.
    for (;;) {
        std::vector<char> buffer(kChunkBytes, 0);
        int count = ReadPipeNow(m_pipe, buffer.data(), kChunkBytes);
        if (count <= 0) break;
        size_t length = strnlen(buffer.data(), static_cast<size_t>(count));
        text += m_decoder.Feed(std::string(buffer.data(), length));
    }
    text += m_decoder.Flush();
    return text;
}
