#include "image/codecs/PxJpegHeaders.h"
#include "image/codecs/PxJpegIOManager.h"

#include <cstdlib>

#include "image/PxFile.h"

PxJpegIOManager::PxJpegIOManager(PxFile* stream)
    : m_stream(stream), m_buffer(static_cast<uint8_t*>(std::malloc(kBufferSize))), m_startOfFile(true) {
    m_source.pub.init_source = InitSource;
    m_source.pub.fill_input_buffer = FillInputBuffer;
    m_source.pub.skip_input_data = SkipInputData;
    m_source.pub.resync_to_restart = jpeg_resync_to_restart;
    m_source.pub.term_source = TermSource;
    m_source.pub.next_input_byte = nullptr;
    m_source.pub.bytes_in_buffer = 0;
    m_source.self = this;
    m_destination.pub.init_destination = InitDestination;
    m_destination.pub.empty_output_buffer = EmptyOutputBuffer;
    m_destination.pub.term_destination = TermDestination;
    m_destination.pub.next_output_byte = nullptr;
    m_destination.pub.free_in_buffer = 0;
    m_destination.self = this;
}

PxJpegIOManager::~PxJpegIOManager() { std::free(m_buffer); }

void PxJpegIOManager::AttachSource(j_decompress_ptr cinfo) { cinfo->src = &m_source.pub; }

void PxJpegIOManager::AttachDestination(j_compress_ptr cinfo) { cinfo->dest = &m_destination.pub; }

void PxJpegIOManager::InitDestination(j_compress_ptr cinfo) {
    PxJpegIOManager* self = reinterpret_cast<Destination*>(cinfo->dest)->self;
    cinfo->dest->next_output_byte = self->m_buffer;
    cinfo->dest->free_in_buffer = kBufferSize;
}

boolean PxJpegIOManager::EmptyOutputBuffer(j_compress_ptr cinfo) {
    PxJpegIOManager* self = reinterpret_cast<Destination*>(cinfo->dest)->self;
    if (self->m_stream->Write(self->m_buffer, 1, kBufferSize) != kBufferSize) ERREXIT(cinfo, JERR_FILE_WRITE);
    cinfo->dest->next_output_byte = self->m_buffer;
    cinfo->dest->free_in_buffer = kBufferSize;
    return TRUE;
}

void PxJpegIOManager::TermDestination(j_compress_ptr cinfo) {
    PxJpegIOManager* self = reinterpret_cast<Destination*>(cinfo->dest)->self;
    size_t count = kBufferSize - cinfo->dest->free_in_buffer;
    if (count > 0 && self->m_stream->Write(self->m_buffer, 1, count) != count) ERREXIT(cinfo, JERR_FILE_WRITE);
    self->m_stream->Flush();
    if (self->m_stream->Error()) ERREXIT(cinfo, JERR_FILE_WRITE);
}

void PxJpegIOManager::InitSource(j_decompress_ptr cinfo) {
    reinterpret_cast<Source*>(cinfo->src)->self->m_startOfFile = true;
}

boolean PxJpegIOManager::FillInputBuffer(j_decompress_ptr cinfo) {
    PxJpegIOManager* self = reinterpret_cast<Source*>(cinfo->src)->self;
    size_t count = self->m_stream->Read(self->m_buffer, 1, kBufferSize);
    if (count == 0) {
        if (self->m_startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        // A cut-off file: supply an end-of-image marker so that libjpeg completes it.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        self->m_buffer[0] = 0xFF;
        self->m_buffer[1] = JPEG_EOI;
        count = 2;
    }
    cinfo->src->next_input_byte = self->m_buffer;
    cinfo->src->bytes_in_buffer = count;
    self->m_startOfFile = false;
    return TRUE;
}

void PxJpegIOManager::SkipInputData(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* src = cinfo->src;
    while (count > static_cast<long>(src->bytes_in_buffer)) {
        count -= static_cast<long>(src->bytes_in_buffer);
        FillInputBuffer(cinfo);
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<size_t>(count);
}

void PxJpegIOManager::TermSource(j_decompress_ptr) {}
