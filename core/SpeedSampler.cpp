#include "core/SpeedSampler.h"

#include <cstdint>

void SpeedSampler::Push(float ms) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_samples.push_back(ms);
    if (m_samples.size() > kMaxSamples) m_samples.pop_front();
}

double SpeedSampler::Average() const {
    std::lock_guard<std::mutex> guard(m_lock);
    int64_t total = 0;
    for (float sample : m_samples) total = static_cast<int64_t>(static_cast<float>(total) + sample);
    int64_t count = m_samples.empty() ? 1 : static_cast<int64_t>(m_samples.size());
    return static_cast<double>(total / count);
}
