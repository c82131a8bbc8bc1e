#include "core/video/Resampler.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kPi = 3.14159265358979323846;
}

StereoResampler::StereoResampler(uint32_t inRate, uint32_t outRate)
    : m_inRate(inRate ? inRate : outRate), m_outRate(outRate), m_passThrough(m_inRate == outRate) {
    if (m_passThrough) return;
    // cut-off below the lower of the two Nyquist frequencies
    const double cutoff = 0.97 * std::min(1.0, double(m_outRate) / m_inRate);
    const int taps = 2 * kHalfTaps;
    m_kernel.resize(size_t(kPhases + 1) * taps);
    for (int p = 0; p <= kPhases; ++p) {
        const double frac = double(p) / kPhases;
        double sum = 0;
        for (int k = 0; k < taps; ++k) {
            // tap k weighs input frame (floor(t) - kHalfTaps + 1 + k); x is its distance to t
            const double x = double(k - kHalfTaps + 1) - frac;
            const double arg = kPi * cutoff * x;
            const double sinc = std::abs(x) < 1e-9 ? 1.0 : std::sin(arg) / arg;
            const double win = 0.5 + 0.5 * std::cos(kPi * x / (kHalfTaps + 0.5));   // Hann
            const double value = cutoff * sinc * win;
            m_kernel[size_t(p) * taps + k] = float(value);
            sum += value;
        }
        for (int k = 0; k < taps; ++k) m_kernel[size_t(p) * taps + k] = float(m_kernel[size_t(p) * taps + k] / sum);
    }
    m_history.assign(size_t(kHalfTaps) * 2, 0.0f);   // silence before the first frame
}

void StereoResampler::Process(const float* in, size_t frames, std::vector<float>& out) {
    if (m_passThrough) {
        out.insert(out.end(), in, in + frames * 2);
        return;
    }
    m_history.insert(m_history.end(), in, in + frames * 2);
    m_inFrames += int64_t(frames);
    const int taps = 2 * kHalfTaps;
    const int64_t available = m_base + int64_t(m_history.size() / 2);   // input index past the last
    for (;;) {
        // position of the next output frame on the input time line
        const int64_t num = m_produced * int64_t(m_inRate);
        const int64_t whole = num / m_outRate;
        const int64_t rest = num % m_outRate;
        const int64_t first = whole - kHalfTaps + 1;
        if (first + taps > available) break;
        const int phase = int((rest * kPhases + m_outRate / 2) / m_outRate);
        const float* k = &m_kernel[size_t(phase) * taps];
        const float* x = &m_history[size_t(first - m_base) * 2];
        float l = 0, r = 0;
        for (int i = 0; i < taps; ++i) {
            l += k[i] * x[i * 2];
            r += k[i] * x[i * 2 + 1];
        }
        out.push_back(l);
        out.push_back(r);
        ++m_produced;
    }
    // drop what no later output frame needs
    const int64_t nextWhole = m_produced * int64_t(m_inRate) / m_outRate;
    const int64_t keepFrom = nextWhole - kHalfTaps + 1;
    if (keepFrom > m_base) {
        const size_t drop = size_t(std::min<int64_t>(keepFrom - m_base, int64_t(m_history.size() / 2)));
        m_history.erase(m_history.begin(), m_history.begin() + drop * 2);
        m_base += int64_t(drop);
    }
}

void StereoResampler::Flush(std::vector<float>& out) {
    if (m_passThrough) return;
    // output frames that cover all input so far
    const int64_t wanted = (m_inFrames * int64_t(m_outRate) + m_inRate - 1) / m_inRate;
    std::vector<float> zeros(size_t(kHalfTaps) * 2 * 2, 0.0f);
    const int64_t saved = m_inFrames;
    while (m_produced < wanted) {
        std::vector<float> produced;
        Process(zeros.data(), kHalfTaps * 2, produced);
        const int64_t keep = std::min<int64_t>(wanted - (m_produced - int64_t(produced.size() / 2)),
                                               int64_t(produced.size() / 2));
        out.insert(out.end(), produced.begin(), produced.begin() + keep * 2);
    }
    m_inFrames = saved;
}
