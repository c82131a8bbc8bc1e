#include "core/video/WaveFormat.h"

#include <algorithm>

#include "foundation/Log.h"

namespace {

// true when the larger value is the smaller one times the channels' ratio
bool Proportional(uint32_t a, uint32_t b, uint16_t channelsA, uint16_t channelsB) {
    const uint32_t big = std::max(a, b), small = std::min(a, b);
    const uint32_t moreChannels = std::max(channelsA, channelsB), fewerChannels = std::min(channelsA, channelsB);
    if (fewerChannels == 0) return false;
    return big == moreChannels / fewerChannels * small;
}

}  // namespace

uint32_t WaveFormatDifferenceMask(const CvxWaveFormat& a, const CvxWaveFormat& b) {
    uint32_t mask = 0;
    if (a.formatTag != b.formatTag) mask |= 4;
    if (a.bitsPerSample != b.bitsPerSample) mask |= 8;
    if (a.blockAlign != b.blockAlign) mask |= 16;
    if (a.channels != b.channels) mask |= 32;
    if (a.samplesPerSec != b.samplesPerSec) mask |= 64;
    if (a.avgBytesPerSec != b.avgBytesPerSec) mask |= 128;
    return mask;
}

std::string WaveFormatMismatchTags(const CvxWaveFormat& a, const CvxWaveFormat& b) {
    std::string tags;
    if (a.formatTag != b.formatTag || a.SampleTag() != b.SampleTag()) tags += "FT";
    if (a.bitsPerSample != b.bitsPerSample) tags += "BPS";
    if (a.blockAlign != b.blockAlign && !Proportional(a.blockAlign, b.blockAlign, a.channels, b.channels))
        tags += "BA";
    if (a.samplesPerSec != b.samplesPerSec) tags += "SPS";
    if (a.avgBytesPerSec != b.avgBytesPerSec &&
        !Proportional(a.avgBytesPerSec, b.avgBytesPerSec, a.channels, b.channels))
        tags += "ABPS";
    return tags;
}

void LogWaveFormat(const char* name, const CvxWaveFormat& format) {
    Log("[cvxcore]:WFX of %s:\n", name);
    Log("[cvxcore]:\twFormatTag = %ld\n", long(format.formatTag));
    Log("[cvxcore]:\tnChannels = %ld\n", long(format.channels));
    Log("[cvxcore]:\tnSamplesPerSec = %ld\n", long(format.samplesPerSec));
    Log("[cvxcore]:\tnAvgBytesPerSec = %ld\n", long(format.avgBytesPerSec));
    Log("[cvxcore]:\tnBlockAlign = %ld\n", long(format.blockAlign));
    Log("[cvxcore]:\twBitsPerSample = %ld\n", long(format.bitsPerSample));
}
