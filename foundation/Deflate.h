#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

// Raw deflate (RFC 1951) for the zip writer: a lazy matcher over a 32 KB sliding window
// and a per-block choice of stored, fixed-code or dynamic-code blocks. No zlib header or
// trailer. Belongs to one thread; the state is kept between streams so that a writer
// adding many files allocates it once.

// Where the encoder reads its input. Read fills up to `size` bytes and returns how many
// it gave (0 at the end of the input, fewer than `size` only at the end), or -1 on a
// read failure.
class IDeflateSource {
public:
    virtual ~IDeflateSource() = default;
    virtual long Read(uint8_t* buffer, size_t size) = 0;
};

// Where the encoder writes its output, in pieces of at most 16384 bytes. False ends the
// stream with a write failure.
class IDeflateSink {
public:
    virtual ~IDeflateSink() = default;
    virtual bool Write(const uint8_t* data, size_t size) = 0;
};

enum class DeflateResult { Ok, ReadFailed, WriteFailed, BadLevel };

class DeflateEncoder {
public:
    // Levels 1 to 8 pick the matcher's effort; anything else makes Compress fail with
    // BadLevel. The zip writer uses 8.
    explicit DeflateEncoder(int level = 8);
    ~DeflateEncoder();
    DeflateEncoder(const DeflateEncoder&) = delete;
    DeflateEncoder& operator=(const DeflateEncoder&) = delete;

    // Compresses the whole source into one deflate stream ending with a final block.
    // On success `written` holds the number of bytes the sink accepted.
    DeflateResult Compress(IDeflateSource& source, IDeflateSink& sink, uint64_t& written);

    int Level() const { return m_level; }

    struct State;

private:
    int m_level;
    std::unique_ptr<State> m_state;
};
