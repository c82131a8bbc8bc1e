#pragma once
// Abstract byte stream that every codec reads and writes through, so that one
// decoder or encoder serves a C runtime FILE* and a block of memory alike.
// A stream belongs to one thread at a time. Streams are not copyable: a copy would
// share the handle or buffer and both copies would release it.
#include <cstddef>
#include <cstdint>

class PxFile {
public:
    PxFile() = default;
    PxFile(const PxFile&) = delete;
    PxFile& operator=(const PxFile&) = delete;
    virtual ~PxFile() = default;

    virtual bool Close() = 0;
    // Reads up to count items of size bytes; returns the number of whole items read.
    virtual size_t Read(void* buffer, size_t size, size_t count) = 0;
    // Writes count items of size bytes; returns the number of items written.
    virtual size_t Write(const void* buffer, size_t size, size_t count) = 0;
    // origin: SEEK_SET (0), SEEK_CUR (1), SEEK_END (2).
    virtual bool Seek(long offset, int origin) = 0;
    virtual long Tell() = 0;
    virtual long Size() = 0;
    virtual bool Flush() = 0;
    virtual bool Eof() = 0;
    virtual long Error() = 0;
    virtual bool PutC(unsigned char c) { return Write(&c, 1, 1) == 1; }
    // Next byte 0..255, or -1.
    virtual long GetC() = 0;
};
