#pragma once
// libjpeg source and destination manager over a PxFile, with a 4096-byte buffer.
#include <cstddef>
#include <cstdint>

#include "image/codecs/PxJpegHeaders.h"

class PxFile;

class PxJpegIOManager {
public:
    static constexpr size_t kBufferSize = 4096;

    explicit PxJpegIOManager(PxFile* stream);
    ~PxJpegIOManager();
    PxJpegIOManager(const PxJpegIOManager&) = delete;
    PxJpegIOManager& operator=(const PxJpegIOManager&) = delete;

    bool IsValid() const { return m_buffer != nullptr; }
    void AttachSource(j_decompress_ptr cinfo);
    void AttachDestination(j_compress_ptr cinfo);

private:
    static void InitDestination(j_compress_ptr cinfo);
    static boolean EmptyOutputBuffer(j_compress_ptr cinfo);
    static void TermDestination(j_compress_ptr cinfo);
    static void InitSource(j_decompress_ptr cinfo);
    static boolean FillInputBuffer(j_decompress_ptr cinfo);
    static void SkipInputData(j_decompress_ptr cinfo, long count);
    static void TermSource(j_decompress_ptr cinfo);

    // libjpeg sees only the manager structs; these recover the object.
    struct Source {
        jpeg_source_mgr pub;
        PxJpegIOManager* self;
    };
    struct Destination {
        jpeg_destination_mgr pub;
        PxJpegIOManager* self;
    };

    Source m_source;
    Destination m_destination;
    PxFile* m_stream;    // not owned
    uint8_t* m_buffer;   // kBufferSize bytes
    bool m_startOfFile;
};
