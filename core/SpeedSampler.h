#pragma once
#include <deque>
#include <mutex>

// Durations of the record loop's passes (milliseconds), the newest 30. Any thread.
class SpeedSampler {
public:
    void Push(float ms);
    // The sum is kept in whole milliseconds (truncated after each sample), then divided
    // by the count in integers: samples 10.6, 10.6, 10.6 give 10.
    double Average() const;

private:
    static constexpr size_t kMaxSamples = 30;
    mutable std::mutex m_lock;
    std::deque<float> m_samples;
};
