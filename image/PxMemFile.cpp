#include "image/PxMemFile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
// Positions and sizes are 32-bit signed.
constexpr uint64_t kMaxStreamBytes = 0x7FFFFFFF;
}

PxMemFile::PxMemFile(uint8_t* buffer, uint32_t length)
    : m_buffer(buffer),
      m_size(buffer ? static_cast<int32_t>(length > kMaxStreamBytes ? kMaxStreamBytes : length) : 0),
      m_owns(buffer == nullptr),
      m_position(0),
      m_capacity(buffer ? static_cast<uint32_t>(m_size) : 0) {}

PxMemFile::~PxMemFile() { Close(); }

bool PxMemFile::Open() {
    if (m_buffer) return false;
    m_size = 0;
    m_position = 0;
    m_capacity = 0;
    m_buffer = static_cast<uint8_t*>(std::malloc(1));
    m_owns = true;
    return m_buffer != nullptr;
}

bool PxMemFile::Close() {
    if (m_buffer && m_owns) {
        std::free(m_buffer);
        m_buffer = nullptr;
        m_size = 0;
        m_capacity = 0;
        m_position = 0;
    }
    return true;
}

uint8_t* PxMemFile::GetBuffer(bool detach) {
    // Only a detach changes ownership: taking ownership of a caller's block
    // would make Close free memory the stream was never given.
    if (detach) m_owns = false;
    return m_buffer;
}

size_t PxMemFile::Read(void* buffer, size_t size, size_t count) {
    if (!buffer || !m_buffer || m_position >= m_size || size == 0 || count == 0) return 0;
    uint64_t available = static_cast<uint64_t>(m_size - m_position);
    // min(size x count, available) without forming an overflowing product.
    uint64_t bytes = count <= available / size ? static_cast<uint64_t>(size) * count : available;
    std::memcpy(buffer, m_buffer + m_position, static_cast<size_t>(bytes));
    m_position += static_cast<int32_t>(bytes);
    return static_cast<size_t>(bytes / size);
}

bool PxMemFile::Alloc(uint64_t needed) {
    if (needed <= m_capacity) return true;
    uint64_t newCapacity = (needed & ~static_cast<uint64_t>(0xFFF)) + 4096;
    if (newCapacity > kMaxStreamBytes + 1) return false;
    uint8_t* block;
    if (m_owns) {
        block = static_cast<uint8_t*>(std::realloc(m_buffer, static_cast<size_t>(newCapacity)));
        if (!block) return false;
    } else {
        // The caller's block is never reallocated or freed: copy it into our own.
        block = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(newCapacity)));
        if (!block) return false;
        if (m_buffer && m_size > 0) std::memcpy(block, m_buffer, static_cast<size_t>(m_size));
        m_owns = true;
    }
    m_buffer = block;
    m_capacity = static_cast<uint32_t>(newCapacity);
    return true;
}

void PxMemFile::Free() { Close(); }

bool PxMemFile::Reserve(uint64_t bytes) {
    uint64_t end = static_cast<uint64_t>(m_position) + bytes;
    if (end > kMaxStreamBytes) return false;
    if (!Alloc(end)) return false;
    if (m_position > m_size) std::memset(m_buffer + m_size, 0, static_cast<size_t>(m_position - m_size));
    return true;
}

size_t PxMemFile::Write(const void* buffer, size_t size, size_t count) {
    if (!m_buffer || !buffer || size == 0 || count == 0) return 0;
    if (count > kMaxStreamBytes / size) return 0;
    uint64_t bytes = static_cast<uint64_t>(size) * count;
    if (!Reserve(bytes)) return 0;
    std::memcpy(m_buffer + m_position, buffer, static_cast<size_t>(bytes));
    m_position += static_cast<int32_t>(bytes);
    if (m_position > m_size) m_size = m_position;
    return count;
}

bool PxMemFile::Seek(long offset, int origin) {
    if (!m_buffer) return false;
    int64_t base;
    switch (origin) {
        case SEEK_SET: base = 0; break;
        case SEEK_CUR: base = m_position; break;
        case SEEK_END: base = m_size; break;
        default: return false;
    }
    int64_t position = base + static_cast<int64_t>(offset);
    if (position < 0) position = 0;
    if (position > static_cast<int64_t>(kMaxStreamBytes)) return false;
    m_position = static_cast<int32_t>(position);
    return true;
}

long PxMemFile::Tell() { return m_buffer ? m_position : -1; }

long PxMemFile::Size() { return m_buffer ? m_size : -1; }

bool PxMemFile::Flush() { return m_buffer != nullptr; }

bool PxMemFile::Eof() { return !m_buffer || m_position >= m_size; }

long PxMemFile::Error() {
    if (!m_buffer) return -1;
    return m_position > m_size ? 1 : 0;
}

bool PxMemFile::PutC(unsigned char c) {
    if (!m_buffer) return false;
    if (!Reserve(1)) return false;
    m_buffer[m_position++] = c;
    if (m_position > m_size) m_size = m_position;
    return true;
}

long PxMemFile::GetC() {
    if (Eof()) return -1;
    return m_buffer[m_position++];
}
