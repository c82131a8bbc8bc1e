#include "core/video/MfMediaWriter.h"

#include <windows.h>
#include <mfapi.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include <cstring>

#include "core/MediaFoundationLibrary.h"
#include "core/video/Mp4Writer.h"
#include "foundation/SystemLibrary.h"
#include "foundation/WinHandles.h"

namespace {

// The platform's factories, through the library loaded on first use; a missing one
// fails like the call would.
HRESULT CreateMediaType(IMFMediaType** type) {
    const auto create = MediaFoundationLibrary().MFCreateMediaType;
    return create ? create(type) : kFunctionMissing;
}
HRESULT CreateMemoryBuffer(DWORD size, IMFMediaBuffer** buffer) {
    const auto create = MediaFoundationLibrary().MFCreateMemoryBuffer;
    return create ? create(size, buffer) : kFunctionMissing;
}
HRESULT CreateSample(IMFSample** sample) {
    const auto create = MediaFoundationLibrary().MFCreateSample;
    return create ? create(sample) : kFunctionMissing;
}
HRESULT CreateAttributes(IMFAttributes** attributes, UINT32 size) {
    const auto create = MediaFoundationLibrary().MFCreateAttributes;
    return create ? create(attributes, size) : kFunctionMissing;
}
// mfreadwrite.dll, loaded when the first recording asks for a sink writer.
struct SinkWriterFunctions {
    decltype(&::MFCreateSinkWriterFromURL) MFCreateSinkWriterFromURL = nullptr;
};
const SinkWriterFunctions& SinkWriterLibrary() {
    static const SinkWriterFunctions& functions =
        LoadLibraryForProcess<SinkWriterFunctions>("mfreadwrite.dll", [](auto find, SinkWriterFunctions& f) {
            find("MFCreateSinkWriterFromURL", f.MFCreateSinkWriterFromURL);
        });
    return functions;
}
HRESULT CreateSinkWriterFromURL(const wchar_t* url, IMFAttributes* attributes, IMFSinkWriter** writer) {
    const auto create = SinkWriterLibrary().MFCreateSinkWriterFromURL;
    return create ? create(url, nullptr, attributes, writer) : kFunctionMissing;
}

// The sink writer's media types, as the recorder has always described them.
class MfMediaWriter : public IMediaFileWriter {
public:
    // Takes over the caller's reference to `writer`.
    explicit MfMediaWriter(IMFSinkWriter* writer) : m_writer(writer) {}

    const char* Name() const override { return "Media Foundation"; }

    int32_t AddVideoStream(const VideoOutputType& output, uint32_t& index) override {
        ComPtr<IMFMediaType> type;
        HRESULT hr = CreateMediaType(type.put());
        if (SUCCEEDED(hr)) hr = type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
        if (SUCCEEDED(hr)) hr = type->SetGUID(MF_MT_SUBTYPE, MFVideoFormat_H264);
        if (SUCCEEDED(hr)) hr = type->SetUINT32(MF_MT_AVG_BITRATE, output.bitrate);
        if (SUCCEEDED(hr)) hr = type->SetUINT32(MF_MT_INTERLACE_MODE, MFVideoInterlace_Progressive);
        if (SUCCEEDED(hr)) hr = MFSetAttributeSize(type.get(), MF_MT_FRAME_SIZE, output.width, output.height);
        if (SUCCEEDED(hr)) hr = MFSetAttributeRatio(type.get(), MF_MT_FRAME_RATE, output.fps, 1);
        if (SUCCEEDED(hr)) hr = MFSetAttributeRatio(type.get(), MF_MT_PIXEL_ASPECT_RATIO, 1, 1);
        DWORD stream = 0;
        if (SUCCEEDED(hr)) hr = m_writer->AddStream(type.get(), &stream);
        if (SUCCEEDED(hr)) index = stream;
        return hr;
    }

    int32_t SetVideoInputType(uint32_t index, uint32_t width, uint32_t height, uint32_t fps) override {
        ComPtr<IMFMediaType> type;
        HRESULT hr = CreateMediaType(type.put());
        if (SUCCEEDED(hr)) hr = type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
        if (SUCCEEDED(hr)) hr = type->SetGUID(MF_MT_SUBTYPE, MFVideoFormat_RGB32);
        if (SUCCEEDED(hr)) hr = type->SetUINT32(MF_MT_INTERLACE_MODE, MFVideoInterlace_Progressive);
        if (SUCCEEDED(hr)) hr = MFSetAttributeSize(type.get(), MF_MT_FRAME_SIZE, width, height);
        if (SUCCEEDED(hr)) hr = MFSetAttributeRatio(type.get(), MF_MT_FRAME_RATE, fps, 1);
        if (SUCCEEDED(hr)) hr = MFSetAttributeRatio(type.get(), MF_MT_PIXEL_ASPECT_RATIO, 1, 1);
        if (SUCCEEDED(hr)) hr = m_writer->SetInputMediaType(index, type.get(), nullptr);
        return hr;
    }

    int32_t AddAudioStream(const AudioInputType& input, uint32_t& index) override {
        ComPtr<IMFMediaType> out;
        HRESULT hr = CreateMediaType(out.put());
        if (SUCCEEDED(hr)) hr = out->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
        if (SUCCEEDED(hr)) hr = out->SetGUID(MF_MT_SUBTYPE, MFAudioFormat_AAC);
        if (SUCCEEDED(hr)) hr = out->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, 16);
        if (SUCCEEDED(hr)) hr = out->SetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, 48000);
        if (SUCCEEDED(hr)) hr = out->SetUINT32(MF_MT_AUDIO_NUM_CHANNELS, 2);
        if (SUCCEEDED(hr)) hr = out->SetUINT32(MF_MT_AUDIO_AVG_BYTES_PER_SECOND, 16000);
        DWORD stream = 0;
        if (SUCCEEDED(hr)) hr = m_writer->AddStream(out.get(), &stream);
        ComPtr<IMFMediaType> in;
        if (SUCCEEDED(hr)) hr = CreateMediaType(in.put());
        if (SUCCEEDED(hr)) hr = in->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
        if (SUCCEEDED(hr)) hr = in->SetGUID(MF_MT_SUBTYPE, input.isFloat ? MFAudioFormat_Float : MFAudioFormat_PCM);
        if (SUCCEEDED(hr)) hr = in->SetUINT32(MF_MT_AUDIO_NUM_CHANNELS, input.channels);
        if (SUCCEEDED(hr)) hr = in->SetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, input.samplesPerSec);
        if (SUCCEEDED(hr)) hr = in->SetUINT32(MF_MT_AUDIO_BLOCK_ALIGNMENT, input.blockAlign);
        if (SUCCEEDED(hr)) hr = in->SetUINT32(MF_MT_AUDIO_AVG_BYTES_PER_SECOND, input.avgBytesPerSec);
        if (SUCCEEDED(hr)) hr = in->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, input.bitsPerSample);
        if (SUCCEEDED(hr)) hr = in->SetUINT32(MF_MT_ALL_SAMPLES_INDEPENDENT, 1);
        if (SUCCEEDED(hr)) hr = m_writer->SetInputMediaType(stream, in.get(), nullptr);
        if (SUCCEEDED(hr)) index = stream;
        return hr;
    }

    int32_t BeginWriting() override { return m_writer->BeginWriting(); }

    int32_t WriteSample(uint32_t index, const uint8_t* data, uint32_t size, int64_t time, int64_t duration) override {
        ComPtr<IMFMediaBuffer> buffer;
        ComPtr<IMFSample> sample;
        HRESULT hr = CreateMemoryBuffer(size, buffer.put());
        BYTE* bytes = nullptr;
        if (SUCCEEDED(hr)) hr = buffer->Lock(&bytes, nullptr, nullptr);
        if (SUCCEEDED(hr)) {
            std::memcpy(bytes, data, size);
            hr = buffer->Unlock();
        }
        if (SUCCEEDED(hr)) hr = buffer->SetCurrentLength(size);
        if (SUCCEEDED(hr)) hr = CreateSample(sample.put());
        if (SUCCEEDED(hr)) hr = sample->AddBuffer(buffer.get());
        if (SUCCEEDED(hr)) hr = sample->SetSampleTime(time);
        if (SUCCEEDED(hr) && duration >= 0) hr = sample->SetSampleDuration(duration);
        if (SUCCEEDED(hr)) hr = m_writer->WriteSample(index, sample.get());
        return hr;
    }

    int32_t Finalize() override { return m_writer->Finalize(); }

private:
    ComPtr<IMFSinkWriter> m_writer;
};

}  // namespace

std::unique_ptr<IMediaFileWriter> CreateMfMediaWriter(IMFSinkWriter* writer) {
    if (!writer) return nullptr;
    return std::make_unique<MfMediaWriter>(writer);
}

std::unique_ptr<IMediaFileWriter> CreateMfMediaWriter(const std::wstring& path, int32_t& result) {
    ComPtr<IMFAttributes> attributes;
    HRESULT hr = CreateAttributes(attributes.put(), 1);
    if (SUCCEEDED(hr)) hr = attributes->SetGUID(MF_TRANSCODE_CONTAINERTYPE, MFTranscodeContainerType_MPEG4);
    if (SUCCEEDED(hr)) hr = attributes->SetUINT32(MF_SINK_WRITER_DISABLE_THROTTLING, TRUE);
    ComPtr<IMFSinkWriter> writer;
    if (SUCCEEDED(hr)) hr = CreateSinkWriterFromURL(path.c_str(), attributes.get(), writer.put());
    result = hr;
    if (FAILED(hr) || !writer) {
        if (SUCCEEDED(hr)) result = E_FAIL;
        return nullptr;
    }
    return CreateMfMediaWriter(writer.release());
}

MediaWriterFactory PlatformMediaWriterFactory() {
    return [](const std::wstring& path, int32_t& hr) { return CreateMfMediaWriter(path, hr); };
}
