#include "core/video/AudioData.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr float kMinFrameDuration = 0.00001f;
constexpr uint64_t kOverlapTolerance = 1000;   // 0.1 ms

std::shared_ptr<uint8_t[]> Allocate(size_t bytes) {
    std::shared_ptr<uint8_t[]> data(new uint8_t[bytes ? bytes : 1]);
    std::memset(data.get(), 0, bytes);
    return data;
}

audio_data_t WithFormatOf(const audio_data_t& source, uint64_t start, std::shared_ptr<uint8_t[]> bytes,
                          uint32_t size) {
    audio_data_t chunk(start, std::move(bytes), size, source.blockAlign, source.samplesPerSec,
                       source.channels, source.sampleType);
    chunk.frameDuration = source.frameDuration;
    return chunk;
}

int64_t ReadInt(const uint8_t* p, int bytes) {
    switch (bytes) {
        case 1: return int64_t(p[0]) - 128;   // 8-bit PCM is unsigned
        case 2: { int16_t v; std::memcpy(&v, p, 2); return v; }
        case 3: return int32_t(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24) >> 8;
        default: { int32_t v; std::memcpy(&v, p, 4); return v; }
    }
}

void WriteInt(uint8_t* p, int bytes, int64_t v) {
    const int64_t hi = bytes == 1 ? 127 : (int64_t(1) << (bytes * 8 - 1)) - 1;
    const int64_t lo = -hi - 1;
    v = std::clamp(v, lo, hi);
    switch (bytes) {
        case 1: p[0] = uint8_t(v + 128); break;
        case 2: { int16_t s = int16_t(v); std::memcpy(p, &s, 2); break; }
        case 3: p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); break;
        default: { int32_t s = int32_t(v); std::memcpy(p, &s, 4); break; }
    }
}

}  // namespace

audio_data_t::audio_data_t(uint64_t start, std::shared_ptr<uint8_t[]> bytes, uint32_t size_,
                           uint16_t blockAlign_, uint32_t rate, uint16_t channels_, AudioSampleType type)
    : startTime(start), data(std::move(bytes)), size(size_), blockAlign(blockAlign_), samplesPerSec(rate),
      channels(channels_), frameDuration(rate ? 10000000.0f / float(rate) : 0.0f), sampleType(type) {}

audio_data_t audio_data_t::Copy(uint64_t start, const void* bytes, uint32_t size, uint16_t blockAlign,
                                uint32_t rate, uint16_t channels, AudioSampleType type) {
    auto data = Allocate(size);
    if (bytes && size) std::memcpy(data.get(), bytes, size);
    return audio_data_t(start, std::move(data), size, blockAlign, rate, channels, type);
}

audio_data_t audio_data_t::Silence(uint64_t start, uint64_t duration, uint16_t blockAlign, uint32_t rate,
                                   uint16_t channels, AudioSampleType type) {
    const uint64_t frames = duration * rate / 10000000;
    const uint64_t bytes = frames * blockAlign;
    if (bytes == 0 || bytes > UINT32_MAX) return audio_data_t();
    return Copy(start, nullptr, uint32_t(bytes), blockAlign, rate, channels, type);
}

audio_data_t audio_data_t::Concat(const audio_data_t& a, const audio_data_t& b) {
    if (!a.data || a.size == 0) return audio_data_t();
    if (!b.data || b.size == 0 || uint64_t(a.size) + b.size > UINT32_MAX) return a;
    auto data = Allocate(size_t(a.size) + b.size);
    std::memcpy(data.get(), a.data.get(), a.size);
    std::memcpy(data.get() + a.size, b.data.get(), b.size);
    return WithFormatOf(a, a.startTime, std::move(data), a.size + b.size);
}

uint64_t audio_data_t::Duration() const {
    if (frameDuration < kMinFrameDuration || size == 0 || blockAlign == 0) return 0;
    return uint64_t(float(Frames()) * frameDuration);
}

bool audio_data_t::IsValid() const {
    return data && frameDuration >= kMinFrameDuration && size != 0 && blockAlign != 0 && Duration() != 0;
}

audio_data_t audio_data_t::Head(uint64_t until) const {
    if (!IsValid() || until <= startTime) return audio_data_t();
    const double n = std::floor(double(until - startTime) / frameDuration);
    if (n < 1.0) return audio_data_t();
    const uint32_t frames = uint32_t(std::min<double>(n, Frames()));
    const uint32_t bytes = frames * blockAlign;
    auto copy = Allocate(bytes);
    std::memcpy(copy.get(), data.get(), bytes);
    return WithFormatOf(*this, startTime, std::move(copy), bytes);
}

audio_data_t audio_data_t::Tail(uint64_t from) const {
    if (!IsValid()) return audio_data_t();
    if (from <= startTime) return *this;
    const double d = std::floor(double(from - startTime) / frameDuration);
    if (d >= Frames()) return audio_data_t();
    const uint32_t skip = uint32_t(d) * blockAlign;
    auto copy = Allocate(size - skip);
    std::memcpy(copy.get(), data.get() + skip, size - skip);
    return WithFormatOf(*this, from, std::move(copy), size - skip);
}

int audio_data_t::ToStereo() {
    if (!IsValid() || channels == 0 || blockAlign % channels != 0) return 0;
    if (channels == 2) return 2;
    const uint32_t sample = blockAlign / channels;
    const uint32_t frames = Frames();
    const uint32_t newAlign = sample * 2;
    auto out = Allocate(size_t(frames) * newAlign);
    for (uint32_t i = 0; i < frames; ++i) {
        const uint8_t* src = data.get() + size_t(i) * blockAlign;
        uint8_t* dst = out.get() + size_t(i) * newAlign;
        if (channels == 1) {
            std::memcpy(dst, src, sample);
            std::memcpy(dst + sample, src, sample);
        } else {
            std::memcpy(dst, src, newAlign);
        }
    }
    data = std::move(out);
    size = frames * newAlign;
    blockAlign = uint16_t(newAlign);
    channels = 2;
    return 2;
}

bool Overlaps(const audio_data_t& a, const audio_data_t& b) {
    const audio_data_t& p = b.startTime < a.startTime ? b : a;
    const audio_data_t& o = &p == &a ? b : a;
    return p.End() > o.startTime + kOverlapTolerance;
}

bool SameSampleFormat(const audio_data_t& a, const audio_data_t& b) {
    return a.blockAlign == b.blockAlign && a.samplesPerSec == b.samplesPerSec && a.channels == b.channels && a.sampleType == b.sampleType &&
           a.channels != 0 && a.blockAlign % a.channels == 0 &&
           (a.sampleType == AudioSampleType::Int ? a.BytesPerSample() <= 4 : a.BytesPerSample() == 4 ||
                                                                                 a.BytesPerSample() == 8);
}

audio_data_t Mix(const audio_data_t& a, const audio_data_t& b) {
    if (!a.IsValid() || !b.IsValid() || !Overlaps(a, b) || !SameSampleFormat(a, b)) return audio_data_t();
    const audio_data_t& q = b.startTime < a.startTime ? b : a;
    const audio_data_t& p = &q == &a ? b : a;
    const uint32_t align = a.blockAlign;
    const uint32_t offset = uint32_t(std::floor(double(p.startTime - q.startTime) / a.frameDuration));
    const uint32_t qFrames = q.Frames(), pFrames = p.Frames();
    const uint64_t total = std::max<uint64_t>(qFrames, uint64_t(offset) + pFrames);
    if (total * align > UINT32_MAX) return audio_data_t();
    auto out = Allocate(size_t(total) * align);
    std::memcpy(out.get(), q.data.get(), size_t(qFrames) * align);
    std::memcpy(out.get() + size_t(offset) * align, p.data.get(), size_t(pFrames) * align);

    const uint32_t end = uint32_t(std::min<uint64_t>(qFrames, uint64_t(offset) + pFrames));
    const int sampleBytes = a.BytesPerSample();
    const uint32_t samples = a.channels;
    for (uint32_t i = offset; i < end; ++i) {
        uint8_t* dst = out.get() + size_t(i) * align;
        const uint8_t* qs = q.data.get() + size_t(i) * align;
        const uint8_t* ps = p.data.get() + size_t(i - offset) * align;
        for (uint32_t c = 0; c < samples; ++c) {
            const size_t at = size_t(c) * sampleBytes;
            if (a.sampleType == AudioSampleType::Int) {
                WriteInt(dst + at, sampleBytes, ReadInt(qs + at, sampleBytes) + ReadInt(ps + at, sampleBytes));
            } else if (sampleBytes == 4) {
                float x, y;
                std::memcpy(&x, qs + at, 4);
                std::memcpy(&y, ps + at, 4);
                x += y;
                std::memcpy(dst + at, &x, 4);
            } else {
                double x, y;
                std::memcpy(&x, qs + at, 8);
                std::memcpy(&y, ps + at, 8);
                x += y;
                std::memcpy(dst + at, &x, 8);
            }
        }
    }
    audio_data_t packet(q.startTime, std::move(out), uint32_t(total * align), a.blockAlign,
                        std::max(a.samplesPerSec, b.samplesPerSec), a.channels, a.sampleType);
    packet.mixed = 1;
    return packet;
}
