#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "core/video/FrameConvert.h"

// H.264 through openh264: constant bit rate, no B-frames, an IDR picture every two
// seconds, no frame skipping. Output samples are length-prefixed (4 bytes) NAL units.
class H264Encoder {
public:
    struct Params { uint32_t width, height, fps, bitrate; };
    struct Frame {
        std::vector<uint8_t> sample;   // length-prefixed NAL units, empty when skipped
        bool keyFrame = false;
    };
    static std::unique_ptr<H264Encoder> Create(const Params& params);
    ~H264Encoder();

    bool Encode(const I420Picture& picture, uint64_t timeMs, Frame& out);
    const std::vector<uint8_t>& Sps() const { return m_sps; }
    const std::vector<uint8_t>& Pps() const { return m_pps; }

private:
    struct Impl;
    explicit H264Encoder(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
    std::vector<uint8_t> m_sps, m_pps;
};

// AAC-LC through vo-aacenc: 48000 Hz stereo 16-bit input in frames of 1024, raw access
// units out.
class AacEncoder {
public:
    static constexpr uint32_t kFrameSamples = 1024;
    // Decoded sound lags the input by this many samples: one frame of priming plus the
    // encoder's look-ahead for block switching.
    static constexpr uint32_t kDelaySamples = 1600;
    static std::unique_ptr<AacEncoder> Create(uint32_t sampleRate, uint32_t channels, uint32_t bitrate);
    ~AacEncoder();
    // Encodes exactly kFrameSamples interleaved frames.
    bool Encode(const int16_t* pcm, std::vector<uint8_t>& out);
    // AudioSpecificConfig for the sample description.
    std::vector<uint8_t> SpecificConfig() const;

private:
    struct Impl;
    explicit AacEncoder(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};
