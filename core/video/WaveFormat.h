#pragma once
#include <cstdint>
#include <string>

constexpr uint16_t kWaveFormatPcm = 1;
constexpr uint16_t kWaveFormatFloat = 3;
constexpr uint16_t kWaveFormatExtensible = 0xFFFE;

// An audio capture format: the WAVEFORMATEX fields up to cbSize, and for an extensible
// format the tag its SubFormat stands for (PCM or IEEE float; 0 for anything else).
struct CvxWaveFormat {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t cbSize = 0;
    uint16_t subFormat = 0;

    bool SameHeader(const CvxWaveFormat& o) const {
        return formatTag == o.formatTag && channels == o.channels && samplesPerSec == o.samplesPerSec &&
               avgBytesPerSec == o.avgBytesPerSec && blockAlign == o.blockAlign &&
               bitsPerSample == o.bitsPerSample && cbSize == o.cbSize;
    }
    // The sample tag that decides PCM or float: formatTag, or the SubFormat's for an
    // extensible format.
    uint16_t SampleTag() const { return formatTag == kWaveFormatExtensible ? subFormat : formatTag; }
};

// Which fields differ: 4 tag, 8 bits per sample, 16 block alignment, 32 channels,
// 64 sample rate, 128 average bytes per second (cbSize is not counted).
uint32_t WaveFormatDifferenceMask(const CvxWaveFormat& a, const CvxWaveFormat& b);

// The differences that keep two sources from being recorded together, as tags in this
// order: "FT", "BPS", "BA" (block alignments not in the channels' proportion), "SPS",
// "ABPS" (byte rates not in the channels' proportion). Empty when they can be mixed:
// a difference in channel count alone, or in cbSize alone, is fine. The device check
// and the writer both use it.
std::string WaveFormatMismatchTags(const CvxWaveFormat& a, const CvxWaveFormat& b);
inline bool WaveFormatsCompatible(const CvxWaveFormat& a, const CvxWaveFormat& b) {
    return WaveFormatMismatchTags(a, b).empty();
}

// The seven "[cvxcore]:WFX of <name>:" lines.
void LogWaveFormat(const char* name, const CvxWaveFormat& format);
