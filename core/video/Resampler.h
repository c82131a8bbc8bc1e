#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Band-limited (windowed-sinc) sample-rate conversion of interleaved stereo float audio.
// Keeps its history between calls, so packets join without a click; the output is
// delayed by nothing: output frame k is the input at time k / outRate.
class StereoResampler {
public:
    StereoResampler(uint32_t inRate, uint32_t outRate);
    // Appends the frames that the input so far allows to `out` (interleaved L R).
    void Process(const float* in, size_t frames, std::vector<float>& out);
    // Pads with silence so every input frame is represented in the output.
    void Flush(std::vector<float>& out);

private:
    static constexpr int kHalfTaps = 16;
    static constexpr int kPhases = 256;

    uint32_t m_inRate, m_outRate;
    bool m_passThrough;
    std::vector<float> m_kernel;   // kPhases + 1 rows of 2 x kHalfTaps taps
    std::vector<float> m_history;  // pending input frames (L R), first at m_base
    int64_t m_base = -kHalfTaps;   // input index of m_history's first frame
    int64_t m_inFrames = 0;        // input frames received
    int64_t m_produced = 0;        // output frames produced
};
