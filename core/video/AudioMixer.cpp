#include "core/video/AudioMixer.h"

#include "foundation/Log.h"

namespace {
// Cutting and time stamps round to whole frames and ticks; a chunk that starts this
// little before the last packet's end still continues it.
constexpr uint64_t kJoinTolerance = 1000;
}  // namespace

AudioMixer::AudioMixer(uint64_t origin, TickClock clock)
    : m_lastEnd(origin), m_gate(1000.0, std::move(clock)), m_origin(origin) {}

void AudioMixer::Push(int queue, audio_data_t chunk) {
    if (queue != kSoundQueue && queue != kMicrophoneQueue) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queues[queue].push_back(std::move(chunk));
}

audio_data_t AudioMixer::Drain(std::deque<audio_data_t>& queue) {
    audio_data_t joined;
    while (!queue.empty()) {
        audio_data_t front = std::move(queue.front());
        queue.pop_front();
        if (!joined.IsValid()) {
            if (front.IsValid() && front.startTime + kJoinTolerance >= m_lastEnd) joined = std::move(front);
        } else if (front.blockAlign == joined.blockAlign && front.channels == joined.channels) {
            joined = audio_data_t::Concat(joined, front);
        }
    }
    return joined;
}

audio_data_t AudioMixer::GetNextPacket(bool force) {
    if (!m_gate.IsRunning()) m_gate.Restart();
    if (!force && m_gate.ElapsedMs() < 1000.0) return audio_data_t();
    m_gate.Restart();

    audio_data_t packet;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::deque<audio_data_t>& soundQueue = m_queues[kSoundQueue];
        std::deque<audio_data_t>& micQueue = m_queues[kMicrophoneQueue];
        audio_data_t sound = Drain(soundQueue);
        audio_data_t mic = Drain(micQueue);
        if (sound.IsValid() && mic.IsValid()) {
            sound.ToStereo();
            mic.ToStereo();
            if (!Overlaps(sound, mic) || !SameSampleFormat(sound, mic)) {
                // Nothing to add together: the earlier goes out alone, the later opens the
                // next packet.
                const bool soundFirst = sound.startTime <= mic.startTime;
                packet = soundFirst ? sound : mic;
                (soundFirst ? micQueue : soundQueue).push_front(soundFirst ? mic : sound);
            } else {
                const uint64_t soundEnd = sound.End(), micEnd = mic.End();
                if (soundEnd > micEnd + 1000) {
                    audio_data_t rest = sound.Tail(micEnd);
                    if (rest.IsValid()) soundQueue.push_front(rest);
                    sound = sound.Head(micEnd);
                } else if (micEnd > soundEnd + 1000) {
                    audio_data_t rest = mic.Tail(soundEnd);
                    if (rest.IsValid()) micQueue.push_front(rest);
                    mic = mic.Head(soundEnd);
                }
                packet = Mix(sound, mic);
            }
        } else if (sound.IsValid()) {
            packet = sound;
        } else if (mic.IsValid()) {
            packet = mic;
        }
    }
    if (packet.IsValid()) {
        m_lastEnd = packet.End();
    } else {
        Log("[cvxcore]:GetNextPacket Packet: apOut Invalid!\n");
    }
    return packet;
}
