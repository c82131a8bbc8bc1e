#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/video/Encoders.h"
#include "core/video/FrameConvert.h"
#include "core/video/MediaFileWriter.h"
#include "core/video/Mp4Muxer.h"
#include "core/video/Resampler.h"
#include "foundation/Log.h"
#include "foundation/Utf.h"

namespace {

constexpr uint32_t kAacRate = 48000;
constexpr uint32_t kAacBitrate = 128000;
constexpr uint32_t kVideoIndex = 0;
constexpr uint32_t kAudioIndex = 1;

// H.264 and AAC from our own encoders into our own MP4 muxer.
class BuiltinMediaWriter : public IMediaFileWriter {
public:
    explicit BuiltinMediaWriter(std::unique_ptr<IMuxOutput> out) : m_muxer(std::move(out)) {}

    const char* Name() const override { return "built-in"; }

    int32_t AddVideoStream(const VideoOutputType& output, uint32_t& index) override {
        if (m_begun || m_hasVideo || output.width < 2 || output.height < 2 || output.bitrate == 0)
            return kWriterInvalidArg;
        m_video = output;
        m_video.width &= ~1u;
        m_video.height &= ~1u;
        if (m_video.fps == 0) m_video.fps = 30;
        m_encoder = H264Encoder::Create({m_video.width, m_video.height, m_video.fps, m_video.bitrate});
        if (!m_encoder) return kWriterNotSupported;
        m_hasVideo = true;
        index = kVideoIndex;
        return kWriterOk;
    }

    int32_t SetVideoInputType(uint32_t index, uint32_t width, uint32_t height, uint32_t fps) override {
        if (m_begun || !m_hasVideo || index != kVideoIndex || width == 0 || height == 0) return kWriterInvalidArg;
        m_captureWidth = width;
        m_captureHeight = height;
        m_converter = std::make_unique<FrameConverter>(width, height, m_video.width, m_video.height);
        return kWriterOk;
    }

    int32_t AddAudioStream(const AudioInputType& input, uint32_t& index) override {
        if (m_begun || m_hasAudio || input.channels == 0 || input.samplesPerSec == 0 ||
            input.blockAlign != input.channels * (input.bitsPerSample / 8))
            return kWriterInvalidArg;
        const uint16_t bits = input.bitsPerSample;
        if (input.isFloat ? (bits != 32 && bits != 64) : (bits != 8 && bits != 16 && bits != 24 && bits != 32))
            return kWriterNotSupported;
        m_audioIn = input;
        m_aac = AacEncoder::Create(kAacRate, 2, kAacBitrate);
        if (!m_aac) return kWriterNotSupported;
        m_resampler = std::make_unique<StereoResampler>(input.samplesPerSec, kAacRate);
        m_hasAudio = true;
        index = kAudioIndex;
        return kWriterOk;
    }

    int32_t BeginWriting() override {
        if (m_begun || (m_hasVideo && !m_converter)) return kWriterUnexpected;
        if (m_hasVideo) m_muxer.AddVideoTrack({m_video.width, m_video.height, m_video.fps, {}, {}});
        if (m_hasAudio) {
            Mp4Muxer::AudioTrack track;
            track.sampleRate = kAacRate;
            track.channels = 2;
            track.bitrate = kAacBitrate;
            track.audioSpecificConfig = m_aac->SpecificConfig();
            track.frameSamples = AacEncoder::kFrameSamples;
            track.priming = AacEncoder::kDelaySamples;
            m_muxer.AddAudioTrack(track);
        }
        if (!m_muxer.Begin(m_dataStart)) return kWriterWriteFault;
        m_begun = true;
        return kWriterOk;
    }

    int32_t WriteSample(uint32_t index, const uint8_t* data, uint32_t size, int64_t time,
                        int64_t duration) override {
        if (!m_begun || m_finalized) return kWriterUnexpected;
        if (m_muxer.Failed()) return kWriterWriteFault;
        if (time < 0) time = 0;
        if (index == kVideoIndex && m_hasVideo) return WriteVideo(data, size, uint64_t(time));
        if (index == kAudioIndex && m_hasAudio) return WriteAudio(data, size, uint64_t(time));
        return kWriterInvalidArg;
    }

    int32_t Finalize() override {
        if (m_finalized) return kWriterUnexpected;
        m_finalized = true;
        if (m_begun && m_hasAudio && !m_muxer.Failed()) {
            std::vector<float> rest;
            m_resampler->Flush(rest);
            QueueAudio(rest);
            // Silence after the end pushes the last sound out of the encoder's delay; the
            // track's edit then presents exactly the sound that came in.
            const uint64_t length = uint64_t(m_inputFrames) * kAacRate / m_audioIn.samplesPerSec;
            const uint64_t needed = length + AacEncoder::kDelaySamples;
            const uint64_t have = m_aacFrames * AacEncoder::kFrameSamples + m_pcm.size() / 2;
            if (needed > have) m_pcm.resize(m_pcm.size() + size_t(needed - have) * 2, 0);
            const size_t frameValues = size_t(AacEncoder::kFrameSamples) * 2;
            m_pcm.resize((m_pcm.size() + frameValues - 1) / frameValues * frameValues, 0);
            EncodeQueuedAudio();
            m_muxer.SetAudioLength(length);
        }
        return m_muxer.Finalize() ? kWriterOk : kWriterWriteFault;
    }

    void SetDataStart(uint64_t dataStart) { m_dataStart = dataStart; }

private:
    int32_t WriteVideo(const uint8_t* data, uint32_t size, uint64_t time) {
        if (!m_converter || size < uint64_t(m_captureWidth) * m_captureHeight * 4) return kWriterInvalidArg;
        const I420Picture& picture = m_converter->Convert(data);
        H264Encoder::Frame frame;
        if (!m_encoder->Encode(picture, time / 10000, frame)) return kWriterFail;
        if (frame.sample.empty()) return kWriterOk;
        m_muxer.SetVideoParameterSets(m_encoder->Sps(), m_encoder->Pps());
        if (!m_muxer.WriteVideoSample(frame.sample.data(), frame.sample.size(), time, frame.keyFrame))
            return kWriterWriteFault;
        return kWriterOk;
    }

    // Audio reaches the file as one continuous stream from the first sample's time: a
    // packet that starts later than the frames so far gets silence before it, one that
    // starts earlier loses its overlapping front, so sound never drifts from the picture.
    int32_t WriteAudio(const uint8_t* data, uint32_t size, uint64_t time) {
        if (!m_audioStarted) {
            m_muxer.SetAudioStart(time);
            m_audioStart = time;
            m_audioStarted = true;
        }
        uint32_t frames = size / m_audioIn.blockAlign;
        const int64_t expected =
            time > m_audioStart ? int64_t((time - m_audioStart) * m_audioIn.samplesPerSec / 10000000) : 0;
        const int64_t gap = expected - m_inputFrames;
        uint32_t skip = 0;
        if (gap < 0) skip = uint32_t(std::min<int64_t>(-gap, frames));
        const size_t pad = gap > 0 ? size_t(gap) : 0;
        frames -= skip;
        m_inputFrames += int64_t(pad) + frames;
        m_stereo.assign(pad * 2, 0.0f);
        m_stereo.resize((pad + frames) * 2);
        const uint32_t bytes = m_audioIn.bitsPerSample / 8;
        for (uint32_t i = 0; i < frames; ++i) {
            const uint8_t* frame = data + size_t(i + skip) * m_audioIn.blockAlign;
            float l = 0, r = 0;
            if (m_audioIn.channels == 1) {
                l = r = SampleAt(frame, 0, bytes);
            } else if (m_audioIn.channels == 2) {
                l = SampleAt(frame, 0, bytes);
                r = SampleAt(frame, 1, bytes);
            } else {
                // more channels: the even ones to the left, the odd ones to the right
                int nl = 0, nr = 0;
                for (uint16_t c = 0; c < m_audioIn.channels; ++c) {
                    if (c % 2 == 0) { l += SampleAt(frame, c, bytes); ++nl; }
                    else { r += SampleAt(frame, c, bytes); ++nr; }
                }
                l /= float(nl);
                r /= float(nr ? nr : 1);
            }
            m_stereo[(pad + i) * 2] = l;
            m_stereo[(pad + i) * 2 + 1] = r;
        }
        std::vector<float> resampled;
        m_resampler->Process(m_stereo.data(), pad + frames, resampled);
        QueueAudio(resampled);
        return EncodeQueuedAudio();
    }

    float SampleAt(const uint8_t* frame, uint16_t channel, uint32_t bytes) const {
        const uint8_t* p = frame + size_t(channel) * bytes;
        if (m_audioIn.isFloat) {
            if (bytes == 8) { double d; std::memcpy(&d, p, 8); return float(d); }
            float f;
            std::memcpy(&f, p, 4);
            return f;
        }
        switch (bytes) {
            case 1: return (float(p[0]) - 128.0f) / 128.0f;
            case 2: { int16_t s; std::memcpy(&s, p, 2); return float(s) / 32768.0f; }
            case 3: return float(int32_t(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24) >> 8) / 8388608.0f;
            default: { int32_t s; std::memcpy(&s, p, 4); return float(s) / 2147483648.0f; }
        }
    }

    void QueueAudio(const std::vector<float>& stereo) {
        for (float v : stereo) {
            const float scaled = std::nearbyint(v * 32767.0f);
            m_pcm.push_back(int16_t(std::clamp(scaled, -32768.0f, 32767.0f)));
        }
    }

    int32_t EncodeQueuedAudio() {
        const size_t frameValues = size_t(AacEncoder::kFrameSamples) * 2;
        size_t used = 0;
        std::vector<uint8_t> unit;
        int32_t hr = kWriterOk;
        while (m_pcm.size() - used >= frameValues) {
            if (!m_aac->Encode(m_pcm.data() + used, unit)) { hr = kWriterFail; break; }
            used += frameValues;
            ++m_aacFrames;
            if (!unit.empty() && !m_muxer.WriteAudioSample(unit.data(), unit.size())) { hr = kWriterWriteFault; break; }
        }
        m_pcm.erase(m_pcm.begin(), m_pcm.begin() + used);
        return hr;
    }

    Mp4Muxer m_muxer;
    uint64_t m_dataStart = 0;
    bool m_begun = false, m_finalized = false;
    bool m_hasVideo = false, m_hasAudio = false, m_audioStarted = false;
    uint64_t m_audioStart = 0;
    int64_t m_inputFrames = 0;
    uint64_t m_aacFrames = 0;   // frames given to the encoder
    VideoOutputType m_video;
    uint32_t m_captureWidth = 0, m_captureHeight = 0;
    std::unique_ptr<H264Encoder> m_encoder;
    std::unique_ptr<FrameConverter> m_converter;
    AudioInputType m_audioIn;
    std::unique_ptr<AacEncoder> m_aac;
    std::unique_ptr<StereoResampler> m_resampler;
    std::vector<float> m_stereo;
    std::vector<int16_t> m_pcm;
};

}  // namespace

std::unique_ptr<IMediaFileWriter> CreateBuiltinMediaWriter(std::unique_ptr<IMuxOutput> out, uint64_t dataStart) {
    auto writer = std::make_unique<BuiltinMediaWriter>(std::move(out));
    writer->SetDataStart(dataStart);
    return writer;
}

std::unique_ptr<IMediaFileWriter> CreateBuiltinMediaWriter(const std::wstring& path, int32_t& hr,
                                                           uint64_t dataStart) {
    std::unique_ptr<IMuxOutput> out = OpenMuxFile(WideToUtf8(path));
    if (!out) {
        hr = int32_t(0x80070003u);   // HRESULT of ERROR_PATH_NOT_FOUND
        return nullptr;
    }
    hr = kWriterOk;
    return CreateBuiltinMediaWriter(std::move(out), dataStart);
}
