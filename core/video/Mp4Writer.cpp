#include "core/video/Mp4Writer.h"

#include <optional>
#include <vector>

#include "foundation/Format.h"
#include "foundation/Log.h"

namespace {

// Starts on the platform's writer and moves to ours when the platform refuses the file
// or a stream type before the first sample: the stream set-up done so far is replayed.
// Its own stream indexes (video 0, audio 1) stay valid across the switch.
class FallbackMediaWriter : public IMediaFileWriter {
public:
    FallbackMediaWriter(std::unique_ptr<IMediaFileWriter> platform, std::wstring path, MediaWriterFactory builtin)
        : m_current(std::move(platform)), m_path(std::move(path)), m_builtin(std::move(builtin)) {}

    const char* Name() const override { return m_current ? m_current->Name() : "none"; }

    int32_t AddVideoStream(const VideoOutputType& output, uint32_t& index) override {
        int32_t hr = m_current->AddVideoStream(output, m_realVideo);
        if (hr != kWriterOk && SwitchToBuiltin(hr)) hr = m_current->AddVideoStream(output, m_realVideo);
        if (hr == kWriterOk) m_video = output;
        index = kVideo;
        return hr;
    }
    int32_t SetVideoInputType(uint32_t index, uint32_t w, uint32_t h, uint32_t fps) override {
        if (index != kVideo || !m_video) return kWriterInvalidArg;
        int32_t hr = m_current->SetVideoInputType(m_realVideo, w, h, fps);
        if (hr != kWriterOk && SwitchToBuiltin(hr)) hr = m_current->SetVideoInputType(m_realVideo, w, h, fps);
        if (hr == kWriterOk) m_videoInput = VideoInput{w, h, fps};
        return hr;
    }
    int32_t AddAudioStream(const AudioInputType& input, uint32_t& index) override {
        int32_t hr = m_current->AddAudioStream(input, m_realAudio);
        if (hr != kWriterOk && SwitchToBuiltin(hr)) hr = m_current->AddAudioStream(input, m_realAudio);
        if (hr == kWriterOk) m_audio = input;
        index = kAudio;
        return hr;
    }
    int32_t BeginWriting() override {
        m_writing = true;
        return m_current->BeginWriting();
    }
    int32_t WriteSample(uint32_t index, const uint8_t* data, uint32_t size, int64_t time, int64_t duration) override {
        m_writing = true;
        return m_current->WriteSample(index == kVideo ? m_realVideo : m_realAudio, data, size, time, duration);
    }
    int32_t Finalize() override { return m_current->Finalize(); }

private:
    static constexpr uint32_t kVideo = 0, kAudio = 1;

    bool SwitchToBuiltin(int32_t refused) {
        if (m_switched || m_writing || !m_builtin) return false;
        m_switched = true;
        m_current.reset();   // closes the platform's file first
        Log("[cvxcore]:Media Foundation refused the stream (0x%x): built-in MP4 writer takes over\n",
            unsigned(refused));
        int32_t hr = kWriterOk;
        m_current = m_builtin(m_path, hr);
        if (!m_current) {
            m_current = std::make_unique<RefusingWriter>(hr);
            return false;
        }
        if (m_video && m_current->AddVideoStream(*m_video, m_realVideo) != kWriterOk) return false;
        if (m_videoInput &&
            m_current->SetVideoInputType(m_realVideo, m_videoInput->w, m_videoInput->h, m_videoInput->fps) != kWriterOk)
            return false;
        if (m_audio && m_current->AddAudioStream(*m_audio, m_realAudio) != kWriterOk) return false;
        return true;
    }

    // What is left when neither back end can go on: every call fails.
    class RefusingWriter : public IMediaFileWriter {
    public:
        explicit RefusingWriter(int32_t hr) : m_hr(hr == kWriterOk ? kWriterFail : hr) {}
        const char* Name() const override { return "none"; }
        int32_t AddVideoStream(const VideoOutputType&, uint32_t&) override { return m_hr; }
        int32_t SetVideoInputType(uint32_t, uint32_t, uint32_t, uint32_t) override { return m_hr; }
        int32_t AddAudioStream(const AudioInputType&, uint32_t&) override { return m_hr; }
        int32_t BeginWriting() override { return m_hr; }
        int32_t WriteSample(uint32_t, const uint8_t*, uint32_t, int64_t, int64_t) override { return m_hr; }
        int32_t Finalize() override { return kWriterOk; }

    private:
        int32_t m_hr;
    };

    struct VideoInput { uint32_t w, h, fps; };
    std::unique_ptr<IMediaFileWriter> m_current;
    std::wstring m_path;
    MediaWriterFactory m_builtin;
    bool m_switched = false, m_writing = false;
    uint32_t m_realVideo = 0, m_realAudio = 0;
    std::optional<VideoOutputType> m_video;
    std::optional<VideoInput> m_videoInput;
    std::optional<AudioInputType> m_audio;
};

audio_data_t SilenceFor(const CvxMediaWriterState& state, uint64_t start, uint64_t duration, uint32_t rate,
                        uint16_t blockAlign) {
    return audio_data_t::Silence(start, duration, blockAlign, rate, 2,
                                 state.isFloat ? AudioSampleType::Float : AudioSampleType::Int);
}

}  // namespace

MediaWriterFactory BuiltinMediaWriterFactory() {
    return [](const std::wstring& path, int32_t& hr) { return CreateBuiltinMediaWriter(path, hr); };
}

void CreateSinkWriter(CvxRecordErrorState& error, CvxMediaWriterState& state, const std::wstring& path,
                      const MediaWriterFactory& platform, const MediaWriterFactory& builtin) {
    if (error.Failed()) return;
    int32_t hr = kWriterFail;
    std::unique_ptr<IMediaFileWriter> writer;
    if (platform) writer = platform(path, hr);
    if (!writer && builtin) {
        if (platform) Log("[cvxcore]:Media Foundation cannot write the file (0x%x): built-in MP4 writer takes over\n",
                          unsigned(hr));
        writer = builtin(path, hr);
        if (writer) {
            state.writer = std::move(writer);
            return;
        }
    }
    if (!writer) {
        SetRecordError(error, CvxRecordError_CreateSinkWriter, hr);
        return;
    }
    state.writer = std::make_unique<FallbackMediaWriter>(std::move(writer), path, builtin);
}

void AddAudioStream(CvxRecordErrorState& error, CvxMediaWriterState& state, bool recordSound, bool recordMicrophone,
                    const CvxWaveFormat* soundFormat, const CvxWaveFormat* microphoneFormat) {
    if (error.Failed() || !state.writer || (!recordSound && !recordMicrophone)) return;
    if (recordSound && !soundFormat) return SetRecordError(error, CvxRecordError_AudioFormatsDiffer, 1);
    if (recordMicrophone && !microphoneFormat) return SetRecordError(error, CvxRecordError_AudioFormatsDiffer, 2);
    if (recordSound && recordMicrophone && !soundFormat->SameHeader(*microphoneFormat) &&
        !WaveFormatsCompatible(*soundFormat, *microphoneFormat)) {
        return SetRecordError(error, CvxRecordError_AudioFormatsDiffer,
                              int32_t(WaveFormatDifferenceMask(*soundFormat, *microphoneFormat)));
    }
    const CvxWaveFormat& format = recordSound ? *soundFormat : *microphoneFormat;
    const uint16_t tag = format.SampleTag();
    if (tag != kWaveFormatPcm && tag != kWaveFormatFloat) return SetRecordError(error, CvxRecordError_AudioFormatTag);

    // Mixed packets and silence are stereo, so the input is declared stereo whatever the
    // device has.
    state.bitsPerSample = format.bitsPerSample;
    state.sampleRate = format.samplesPerSec;
    state.channels = 2;
    state.isFloat = tag == kWaveFormatFloat;
    AudioInputType input;
    input.isFloat = state.isFloat;
    input.channels = 2;
    input.samplesPerSec = format.samplesPerSec;
    input.bitsPerSample = format.bitsPerSample;
    input.blockAlign = state.BlockAlign();
    input.avgBytesPerSec = format.samplesPerSec * input.blockAlign;
    state.avgBytesPerSec = input.avgBytesPerSec;
    const int32_t hr = state.writer->AddAudioStream(input, state.audioStream);
    if (hr != kWriterOk) SetRecordError(error, CvxRecordError_AudioStream, hr);
    else state.hasAudio = true;
    Log("[cvxcore]:Stream: %s\n", FormatA("{},{},{},{},{}")
                                      .Arg(input.isFloat ? "0" : "1")
                                      .ArgInt(input.channels)
                                      .ArgInt(int(input.samplesPerSec / 1000))
                                      .ArgInt(input.blockAlign)
                                      .ArgInt(int(input.avgBytesPerSec / 1000))
                                      .Str()
                                      .c_str());
}

void AddVideoStream(CvxRecordErrorState& error, CvxMediaWriterState& state, const VideoOutputType& output) {
    if (error.Failed() || !state.writer) return;
    const int32_t hr = state.writer->AddVideoStream(output, state.videoStream);
    if (hr != kWriterOk) SetRecordError(error, CvxRecordError_VideoStream, hr);
}

void SetVideoInputType(CvxRecordErrorState& error, CvxMediaWriterState& state, uint32_t captureWidth,
                       uint32_t captureHeight, uint32_t fps) {
    if (error.Failed() || !state.writer) return;
    const int32_t hr = state.writer->SetVideoInputType(state.videoStream, captureWidth, captureHeight, fps);
    if (hr != kWriterOk) SetRecordError(error, CvxRecordError_VideoInputType, hr);
}

void BeginWriting(CvxRecordErrorState& error, CvxMediaWriterState& state) {
    if (error.Failed() || !state.writer) return;
    const int32_t hr = state.writer->BeginWriting();
    if (hr != kWriterOk) SetRecordError(error, CvxRecordError_BeginWriting, hr);
}

void WriteVideoFrame(CvxRecordErrorState& error, CvxMediaWriterState& state, const uint8_t* buffer, size_t size,
                     uint64_t time) {
    if (error.Failed() || !state.writer || !buffer || size == 0 || size > UINT32_MAX) return;
    const int32_t hr = state.writer->WriteSample(state.videoStream, buffer, uint32_t(size), int64_t(time), -1);
    if (hr != kWriterOk) SetRecordError(error, CvxRecordError_WriteVideo, hr);
}

void WriteAudioPacket(CvxRecordErrorState& error, CvxMediaWriterState& state, uint32_t rate, uint16_t blockAlign,
                      audio_data_t chunk, uint64_t until) {
    if (error.Failed() || !state.writer || rate == 0 || blockAlign == 0) return;
    if (chunk.IsValid()) {
        // Every packet goes in as the declared stereo.
        if (chunk.ToStereo() != 2 || chunk.size < blockAlign) return;
        const int64_t d = int64_t(chunk.startTime - state.lastAudioEnd);
        if (d <= -1000) return;   // starts before audio already written
        if (d > 100000) {
            audio_data_t silence = SilenceFor(state, state.lastAudioEnd, uint64_t(d), rate, blockAlign);
            if (silence.IsValid()) WriteAudioPacket(error, state, rate, blockAlign, silence, 0);
            if (error.Failed()) return;
        }
        const int32_t hr = state.writer->WriteSample(state.audioStream, chunk.data.get(), chunk.size,
                                                     int64_t(chunk.startTime - state.origin),
                                                     int64_t(chunk.Duration()));
        if (hr != kWriterOk) return SetRecordError(error, CvxRecordError_WriteAudio, hr);
        state.lastAudioEnd = chunk.End();
    } else if (until != 0) {
        const int64_t d = int64_t(until - state.lastAudioEnd);
        if (d <= 10000) return;
        audio_data_t silence = SilenceFor(state, state.lastAudioEnd, uint64_t(d), rate, blockAlign);
        if (!silence.IsValid()) return;
        WriteAudioPacket(error, state, rate, blockAlign, silence, 0);
        Log("[cvxcore]:apEmpty: %llu-%llu\n", (unsigned long long)(silence.startTime - state.origin),
            (unsigned long long)(silence.End() - state.origin));
    }
}

void WriteSilenceUntil(CvxRecordErrorState& error, CvxMediaWriterState& state, uint64_t time) {
    if (!state.hasAudio) return;
    WriteAudioPacket(error, state, state.sampleRate, state.BlockAlign(), audio_data_t(), time);
}

void FinalizeSinkWriter(CvxMediaWriterState& state) {
    Log("[cvxcore]:Releasing media container\n");
    if (state.writer) {
        const int32_t hr = state.writer->Finalize();
        if (hr != kWriterOk) Log("[cvxcore]:Failed to Finalize Sync Writer 0x%x \n", unsigned(hr));
        state.writer.reset();
    }
    Log("[cvxcore]:sink_writer finished\n");
}
