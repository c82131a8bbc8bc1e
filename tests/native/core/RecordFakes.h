#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "core/video/MediaFileWriter.h"
#include "core/video/WaveFormat.h"

// What a fake media writer was given. Shared between the writer (owned by the
// recording) and the test.
struct FakeWriterRecord {
    struct Sample {
        uint32_t stream;
        uint32_t size;
        int64_t time;
        int64_t duration;
        uint32_t nonZeroBytes;   // bytes that are not 0 (silence and black frames have none)
    };
    std::mutex mutex;
    int32_t beginResult = kWriterOk;
    bool began = false;
    int finalized = 0;
    std::vector<Sample> samples;
    VideoOutputType video;
    uint32_t inputWidth = 0, inputHeight = 0;
    AudioInputType audio;
    bool hasAudio = false;

    std::vector<Sample> Stream(uint32_t stream) {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<Sample> out;
        for (const Sample& s : samples)
            if (s.stream == stream) out.push_back(s);
        return out;
    }
};

constexpr uint32_t kFakeVideoStream = 0;
constexpr uint32_t kFakeAudioStream = 1;

class FakeMediaWriter : public IMediaFileWriter {
public:
    explicit FakeMediaWriter(std::shared_ptr<FakeWriterRecord> record) : m(std::move(record)) {}
    const char* Name() const override { return "fake"; }
    int32_t AddVideoStream(const VideoOutputType& output, uint32_t& index) override {
        m->video = output;
        index = kFakeVideoStream;
        return kWriterOk;
    }
    int32_t SetVideoInputType(uint32_t, uint32_t w, uint32_t h, uint32_t) override {
        m->inputWidth = w;
        m->inputHeight = h;
        return kWriterOk;
    }
    int32_t AddAudioStream(const AudioInputType& input, uint32_t& index) override {
        m->audio = input;
        m->hasAudio = true;
        index = kFakeAudioStream;
        return kWriterOk;
    }
    int32_t BeginWriting() override {
        m->began = true;
        return m->beginResult;
    }
    int32_t WriteSample(uint32_t index, const uint8_t* data, uint32_t size, int64_t time, int64_t duration) override {
        uint32_t nonZero = 0;
        for (uint32_t i = 0; i < size; ++i) nonZero += data[i] != 0;
        std::lock_guard<std::mutex> lock(m->mutex);
        m->samples.push_back({index, size, time, duration, nonZero});
        return kWriterOk;
    }
    int32_t Finalize() override {
        ++m->finalized;
        return kWriterOk;
    }

private:
    std::shared_ptr<FakeWriterRecord> m;
};

inline CvxWaveFormat StereoFloat48k() {
    CvxWaveFormat f;
    f.formatTag = kWaveFormatFloat;
    f.channels = 2;
    f.samplesPerSec = 48000;
    f.blockAlign = 8;
    f.avgBytesPerSec = 384000;
    f.bitsPerSample = 32;
    return f;
}
