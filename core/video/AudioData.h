#pragma once
#include <cstdint>
#include <memory>

// How the samples of a chunk are stored. Capture formats are float on most systems, but
// a PCM device gives integers, and mixing must add like with like.
enum class AudioSampleType : uint8_t { Float, Int };

// A block of interleaved audio frames with its start on the performance-counter clock
// (100-ns units) and its format. Copies share the bytes.
struct audio_data_t {
    uint64_t startTime = 0;
    std::shared_ptr<uint8_t[]> data;
    uint32_t size = 0;
    uint16_t blockAlign = 0;
    uint32_t samplesPerSec = 0;
    uint16_t channels = 0;
    uint32_t mixed = 0;
    float frameDuration = 0.0f;   // ticks per frame
    AudioSampleType sampleType = AudioSampleType::Float;

    audio_data_t() = default;
    // Takes `bytes` (size bytes of frames).
    audio_data_t(uint64_t start, std::shared_ptr<uint8_t[]> bytes, uint32_t size, uint16_t blockAlign,
                 uint32_t rate, uint16_t channels, AudioSampleType type = AudioSampleType::Float);
    // Copies `size` bytes from `bytes` (zeros when null).
    static audio_data_t Copy(uint64_t start, const void* bytes, uint32_t size, uint16_t blockAlign,
                             uint32_t rate, uint16_t channels, AudioSampleType type = AudioSampleType::Float);
    // duration / tick-per-frame zero frames (counted as duration x rate / 10^7).
    static audio_data_t Silence(uint64_t start, uint64_t duration, uint16_t blockAlign, uint32_t rate,
                                uint16_t channels, AudioSampleType type = AudioSampleType::Float);
    // a's bytes then b's; a's start and format. Empty when a is empty; a when b is.
    static audio_data_t Concat(const audio_data_t& a, const audio_data_t& b);

    uint32_t Frames() const { return blockAlign ? size / blockAlign : 0; }
    uint64_t Duration() const;
    uint64_t End() const { return startTime + Duration(); }
    bool IsValid() const;
    uint16_t BytesPerSample() const { return channels ? uint16_t(blockAlign / channels) : 0; }

    // The frames before `until`; empty when not even one whole frame lies before it.
    audio_data_t Head(uint64_t until) const;
    // The frames from `from` on, starting at `from`; the whole chunk when `from` is not
    // after its start; empty at or beyond the end.
    audio_data_t Tail(uint64_t from) const;
    // Makes the chunk two-channel (mono duplicated, further channels dropped); returns
    // the channel count afterwards, 0 for an invalid chunk.
    int ToStereo();
};

// True when the two chunks overlap by more than 0.1 ms (1000 ticks).
bool Overlaps(const audio_data_t& a, const audio_data_t& b);
// The sum of two overlapping chunks of one sample format and channel count, starting at
// the earlier; samples are added by their type (integers saturate, floats do not).
// Empty when they do not overlap or cannot be added.
audio_data_t Mix(const audio_data_t& a, const audio_data_t& b);
// True when the two chunks can be added sample by sample.
bool SameSampleFormat(const audio_data_t& a, const audio_data_t& b);
