#pragma once
#include <cstdint>
#include <memory>
#include <string>

// HRESULT-style results, so the portable code needs no Windows header.
constexpr int32_t kWriterOk = 0;
constexpr int32_t kWriterFail = int32_t(0x80004005u);         // E_FAIL
constexpr int32_t kWriterInvalidArg = int32_t(0x80070057u);   // E_INVALIDARG
constexpr int32_t kWriterUnexpected = int32_t(0x8000FFFFu);   // E_UNEXPECTED
constexpr int32_t kWriterWriteFault = int32_t(0x8007001Du);   // HRESULT of ERROR_WRITE_FAULT
constexpr int32_t kWriterNotSupported = int32_t(0xC00D36B4u); // MF_E_INVALIDMEDIATYPE

// The H.264 output stream.
struct VideoOutputType {
    uint32_t width = 0, height = 0, fps = 30, bitrate = 0;
};

// The PCM or float input of the AAC stream (AAC 48000 Hz stereo 128 kbit/s out).
struct AudioInputType {
    bool isFloat = true;
    uint16_t channels = 2;
    uint32_t samplesPerSec = 48000;
    uint16_t blockAlign = 8;
    uint32_t avgBytesPerSec = 384000;
    uint16_t bitsPerSample = 32;
};

// An MP4 file being written: one H.264 video stream fed with bottom-up 32-bit RGB frames
// of the capture size, one AAC stream fed with interleaved PCM or float. Two back ends:
// the platform's sink writer and our own encoders and muxer.
class IMediaFileWriter {
public:
    virtual ~IMediaFileWriter() = default;
    virtual const char* Name() const = 0;
    virtual int32_t AddVideoStream(const VideoOutputType& output, uint32_t& index) = 0;
    virtual int32_t SetVideoInputType(uint32_t index, uint32_t captureWidth, uint32_t captureHeight,
                                      uint32_t fps) = 0;
    // Adds the AAC output stream and sets its input type.
    virtual int32_t AddAudioStream(const AudioInputType& input, uint32_t& index) = 0;
    virtual int32_t BeginWriting() = 0;
    // `time` and `duration` in 100-ns units from the origin; duration < 0 means none.
    virtual int32_t WriteSample(uint32_t index, const uint8_t* data, uint32_t size, int64_t time,
                                int64_t duration) = 0;
    virtual int32_t Finalize() = 0;
};

class IMuxOutput;
// Our own back end over any output (tests inject failures with it).
std::unique_ptr<IMediaFileWriter> CreateBuiltinMediaWriter(std::unique_ptr<IMuxOutput> out, uint64_t dataStart = 0);
// Our own back end. `dataStart` (tests only) places the media data that far into the file.
std::unique_ptr<IMediaFileWriter> CreateBuiltinMediaWriter(const std::wstring& path, int32_t& hr,
                                                           uint64_t dataStart = 0);
