#pragma once
// PxFile over a C runtime FILE*. A stream built around a caller's FILE* never
// closes it; one that opened its file itself closes it on Close and destruction.
#include <cstdio>

#include "image/PxFile.h"

class PxIOFile : public PxFile {
public:
    explicit PxIOFile(FILE* file = nullptr);
    ~PxIOFile() override;

    bool Open(const char* name, const char* mode);
    bool Close() override;
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

    FILE* GetHandle() const { return m_file; }

private:
    FILE* m_file;         // owned only when m_closeOnDestroy
    bool m_closeOnDestroy;
};
