#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/video/AudioData.h"
#include "core/video/MediaFileWriter.h"
#include "core/video/RecordError.h"
#include "core/video/WaveFormat.h"

// Opens a media file writer for a path; null with an HRESULT when it cannot.
using MediaWriterFactory = std::function<std::unique_ptr<IMediaFileWriter>(const std::wstring& path, int32_t& hr)>;

// The writer part of one recording: the file writer, its streams, the audio input format
// and the audio time line (performance-counter units, 100 ns).
struct CvxMediaWriterState {
    std::unique_ptr<IMediaFileWriter> writer;
    uint32_t videoStream = 0;
    uint32_t audioStream = 0;
    bool hasAudio = false;
    // audio input: always two channels (every packet is made stereo)
    uint16_t bitsPerSample = 0;
    uint32_t sampleRate = 0;
    uint16_t channels = 2;
    uint32_t avgBytesPerSec = 0;
    bool isFloat = true;
    uint64_t origin = 0;
    uint64_t lastAudioEnd = 0;

    uint16_t BlockAlign() const { return uint16_t(bitsPerSample / 8 * 2); }
};

// The platform's writer first; when it cannot create the file or refuses a stream type
// before the first sample, our own back end takes over (logged once). Error 2 when
// neither can create the file. A null `platform` goes straight to ours.
void CreateSinkWriter(CvxRecordErrorState& error, CvxMediaWriterState& state, const std::wstring& path,
                      const MediaWriterFactory& platform, const MediaWriterFactory& builtin);
// The default factories: the platform's sink writer (null off Windows) and ours.
MediaWriterFactory PlatformMediaWriterFactory();
MediaWriterFactory BuiltinMediaWriterFactory();

// AAC stream with PCM or float input from the sources' capture formats; errors 4, 5, 6.
// A format is null when its source has none.
void AddAudioStream(CvxRecordErrorState& error, CvxMediaWriterState& state, bool recordSound,
                    bool recordMicrophone, const CvxWaveFormat* soundFormat, const CvxWaveFormat* microphoneFormat);
void AddVideoStream(CvxRecordErrorState& error, CvxMediaWriterState& state, const VideoOutputType& output);
void SetVideoInputType(CvxRecordErrorState& error, CvxMediaWriterState& state, uint32_t captureWidth,
                       uint32_t captureHeight, uint32_t fps);
// Error 8.
void BeginWriting(CvxRecordErrorState& error, CvxMediaWriterState& state);
// One frame at `time` (100 ns from the origin); nothing for an empty buffer; error 7.
void WriteVideoFrame(CvxRecordErrorState& error, CvxMediaWriterState& state, const uint8_t* buffer, size_t size,
                     uint64_t time);
// One audio packet, after silence for a gap over 10 ms; a packet starting 0.1 ms or more
// before the written end is dropped. An invalid chunk with `until` writes silence up to
// it. Error 14.
void WriteAudioPacket(CvxRecordErrorState& error, CvxMediaWriterState& state, uint32_t rate, uint16_t blockAlign,
                      audio_data_t chunk, uint64_t until);
void WriteSilenceUntil(CvxRecordErrorState& error, CvxMediaWriterState& state, uint64_t time);
// Finishes the file (also after an error) and releases the writer; a failure is logged.
void FinalizeSinkWriter(CvxMediaWriterState& state);
