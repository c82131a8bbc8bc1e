#include "image/PxIOFile.h"

PxIOFile::PxIOFile(FILE* file) : m_file(file), m_closeOnDestroy(file == nullptr) {}

PxIOFile::~PxIOFile() {
    if (m_closeOnDestroy) Close();
}

bool PxIOFile::Open(const char* name, const char* mode) {
    if (m_file) return false;
    m_file = std::fopen(name, mode);
    if (!m_file) return false;
    m_closeOnDestroy = true;
    return true;
}

bool PxIOFile::Close() {
    if (!m_file || !m_closeOnDestroy) return true;
    int rc = std::fclose(m_file);
    m_file = nullptr;
    return rc == 0;
}

size_t PxIOFile::Read(void* buffer, size_t size, size_t count) {
    if (!m_file || !buffer) return 0;
    return std::fread(buffer, size, count, m_file);
}

size_t PxIOFile::Write(const void* buffer, size_t size, size_t count) {
    if (!m_file || !buffer) return 0;
    return std::fwrite(buffer, size, count, m_file);
}

bool PxIOFile::Seek(long offset, int origin) {
    if (!m_file) return false;
    return std::fseek(m_file, offset, origin) == 0;
}

long PxIOFile::Tell() {
    if (!m_file) return 0;
    return std::ftell(m_file);
}

long PxIOFile::Size() {
    if (!m_file) return -1;
    long pos = std::ftell(m_file);
    std::fseek(m_file, 0, SEEK_END);
    long size = std::ftell(m_file);
    std::fseek(m_file, pos, SEEK_SET);
    return size;
}

bool PxIOFile::Flush() {
    if (!m_file) return false;
    return std::fflush(m_file) == 0;
}

bool PxIOFile::Eof() {
    if (!m_file) return true;
    return std::feof(m_file) != 0;
}

long PxIOFile::Error() {
    if (!m_file) return -1;
    return std::ferror(m_file);
}

bool PxIOFile::PutC(unsigned char c) {
    if (!m_file) return false;
    return std::fputc(c, m_file) == c;
}

long PxIOFile::GetC() {
    if (!m_file) return -1;
    return std::getc(m_file);
}
