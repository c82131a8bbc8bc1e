#pragma once
// PxFile over a block of memory. Built over a caller's buffer it reads and writes
// in place and never frees or reallocates that buffer: growing past its end moves
// the contents into a new block that the stream owns. Built empty (Open) it is a
// growable output stream whose block the caller can take over with GetBuffer(true)
// and must then release with free().
#include <cstdint>

#include "image/PxFile.h"

class PxMemFile : public PxFile {
public:
    explicit PxMemFile(uint8_t* buffer = nullptr, uint32_t length = 0);
    ~PxMemFile() override;

    bool Open();
    bool Close() override;
    // detach = true hands the block over to the caller (the stream stops owning it).
    uint8_t* GetBuffer(bool detach = true);

    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(long offset, int origin) override;
    long Tell() override;
    long Size() override;
    bool Flush() override;
    bool Eof() override;
    long Error() override;
    bool PutC(unsigned char c) override;
    long GetC() override;

    uint32_t GetCapacity() const { return m_capacity; }

protected:
    // Makes room for `needed` bytes; false when that cannot be had.
    bool Alloc(uint64_t needed);
    void Free();

private:
    // Makes room for position + bytes and zero-fills any gap past the old size.
    bool Reserve(uint64_t bytes);

    uint8_t* m_buffer;
    int32_t m_size;
    bool m_owns;
    int32_t m_position;
    uint32_t m_capacity;
};
