#pragma once
#include <cstdint>
#include <deque>
#include <mutex>

#include "core/IntervalGate.h"
#include "core/video/AudioData.h"

// Joins the chunks of the two audio sources of a recording (queue 0 system sound, queue 1
// microphone) into packets for the writer: once a second, or at once when forced, both
// queues are drained, cut to a common end, brought to stereo and summed.
class AudioMixer {
public:
    static constexpr int kSoundQueue = 0;
    static constexpr int kMicrophoneQueue = 1;

    explicit AudioMixer(uint64_t origin, TickClock clock = MonotonicTicks);

    // Called by the capture threads.
    void Push(int queue, audio_data_t chunk);
    uint64_t Origin() const { return m_origin; }

    // The next packet, or an empty chunk when less than a second passed since the last
    // call (unless forced) or nothing is queued.
    audio_data_t GetNextPacket(bool force);

private:
    audio_data_t Drain(std::deque<audio_data_t>& queue);

    std::deque<audio_data_t> m_queues[2];
    std::mutex m_mutex;
    uint64_t m_lastEnd;
    IntervalGate m_gate;
    uint64_t m_origin;
};
