#include "core/video/RecordLoop.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/CvxVideoMode.h"
#include "core/FrameRateMeter.h"
#include "core/IntervalGate.h"
#include "core/ScreenshotSessions.h"
#include "core/SpeedSampler.h"
#include "foundation/Format.h"
#include "foundation/Log.h"

int PortableRecordSessions::Start(const CvxRect& area) {
    return m_sessions.Start(m_currentMode(), area);
}
int PortableRecordSessions::StartInMode(int mode, const CvxRect& area) {
    return m_sessions.StartInMode(mode, area);
}
std::vector<uint8_t>& PortableRecordSessions::Read(int id, std::vector<uint8_t>& buffer, uint64_t& time,
                                                   CvxGetScreenshotStatus& status) {
    return m_sessions.Read(id, buffer, time, status);
}
void PortableRecordSessions::TryRefresh(int id) {
    m_sessions.TryRefresh(id);
}
void PortableRecordSessions::Stop(int id) {
    m_sessions.Stop(id);
}
int PortableRecordSessions::SessionMode() {
    return m_sessions.SessionMode();
}

void StoreRecordedMs(std::atomic<double>& target, double value) {
    double expected = target.load();
    while (!target.compare_exchange_weak(expected, value)) {
    }
}

namespace {

constexpr int kRefreshTries = 10;
// The longest single sleep while waiting for the next frame, so that a stop or a pause
// at a low frame rate is still seen promptly.
constexpr int kMaxWaitMs = 50;
// How far the frames may fall behind their schedule and still make up for it (at the
// minimum frame gap); after a longer stall the schedule starts again from the next frame.
constexpr int64_t kMaxLagTicks = 1000 * kTicksPerMs;

// The pauses of a recording on the performance-counter clock. Audio reaches the loop
// late (device latency, the mixer's one-second packets), so whether a stretch of audio
// belongs before, inside or after a pause is decided by its capture time, not by when it
// arrives: what was captured before a pause is written before it, what was captured
// during it is dropped, and what follows is moved back by the paused time.
class PauseLine {
public:
    void Begin(uint64_t qpc, double totalBeforeMs) { m_pauses.push_back({qpc, 0, totalBeforeMs, 0.0, true}); }
    void End(uint64_t qpc, double totalAfterMs) {
        if (m_pauses.empty() || !m_pauses.back().open) return;
        m_pauses.back().end = qpc;
        m_pauses.back().totalAfter = totalAfterMs;
        m_pauses.back().open = false;
    }
    // Calls write(part, paused total in ms) for each part of `packet` outside the pauses.
    template <typename Write>
    void Split(audio_data_t packet, Write write) const {
        double total = 0.0;
        for (const Pause& pause : m_pauses) {
            if (!packet.IsValid()) return;
            if (packet.End() <= pause.begin) break;
            if (packet.startTime < pause.begin) {
                audio_data_t head = packet.Head(pause.begin);
                if (head.IsValid()) write(head, total);
            }
            if (pause.open) return;
            packet = packet.Tail(pause.end);
            total = pause.totalAfter;
        }
        if (packet.IsValid()) write(packet, total);
    }

private:
    struct Pause {
        uint64_t begin, end;
        double totalBefore, totalAfter;
        bool open;
    };
    std::vector<Pause> m_pauses;
};

class Loop {
public:
    Loop(RecordLoopJob& job, const RecordLoopPlatform& platform)
        : m_job(job),
          m_p(platform),
          m_error(*job.error),
          m_writer(*job.writer),
          m_fpsTimer(1000.0, platform.now),
          m_speedTimer(5000.0, platform.now),
          m_meter(platform.now) {}

    void Run() {
        if (m_error.Failed()) return;
        m_loopStart = m_p.now();
        m_speedTimer.Restart();
        m_fpsTimer.Restart();

        BeginWriting(m_error, m_writer);
        if (m_error.Failed()) return;
        Log("[cvxcore]:Begin writing to sink-writer\n");
        m_origin = m_p.qpc();
        Log("[cvxcore]:cvxcore: Origin time point = %llu in 100ns\n", (unsigned long long)m_origin);
        m_writer.origin = m_origin;
        m_writer.lastAudioEnd = m_origin;
        if (m_job.recordAudio && m_job.mixer) {
            *m_job.mixer = std::make_unique<AudioMixer>(m_origin, m_p.now);
            if (m_job.mixerSlot) m_job.mixerSlot->store(m_job.mixer->get());
        }
        if (m_job.goFlag) m_job.goFlag->store(true);
        const int currentMode = m_job.sessions->CurrentMode();
        if (m_job.recordVideo) {
            m_session = m_job.sessions->Start(m_job.captureRect);
            if (m_session < 0) {
                // Reported with its failure line on the first pass.
                m_error.code.store(CvxRecordError_NoSession);
                m_error.hresult.store(kRecordHrFalse);
            }
        }
        m_sessionModeAtStart = m_job.sessions->SessionMode();
        Log("[cvxcore]:Recording video modes: %s\n",
            FormatA("{}-{}").ArgInt(currentMode).ArgInt(m_sessionModeAtStart).Str().c_str());
        m_minFrameGapMs = double(1000 / std::max(1, m_job.fps)) * 0.7;
        m_frameInterval = kTicksPerSecond / std::max(1, m_job.fps);

        while (Pass()) {
        }
        End();
    }

private:
    // One pass; false to leave the loop.
    bool Pass() {
        if (m_job.stopFlag && m_job.stopFlag->load()) return false;
        if (m_session < 0) SetRecordError(m_error, CvxRecordError_NoSession, kRecordHrFalse);
        if (m_error.Failed()) return false;
        m_p.sleep(SleepMs());

        if (m_job.pauseFlag && m_job.pauseFlag->load()) {
            if (!m_paused) {
                m_paused = true;
                m_pauseStart = m_p.now();
                m_pauses.Begin(m_p.qpc(), m_pausedTotalMs);
            }
            // Audio captured before the pause still arrives; the rest is dropped.
            if (m_job.recordAudio) WriteAudio(false);
            return true;
        }
        if (m_paused) {
            const int64_t pausedTicks = m_p.now() - m_pauseStart;
            m_pausedTotalMs += double(pausedTicks) / 10000.0;
            m_nextFrameDue += pausedTicks;   // the schedule leaves the pause out
            m_paused = false;
            m_pauses.End(m_p.qpc(), m_pausedTotalMs);
        }
        const double recordedMs = (double(m_p.now() - m_loopStart) - m_pausedTotalMs * 10000.0) / 10000.0;
        if (m_job.recordedMs) StoreRecordedMs(*m_job.recordedMs, recordedMs);
        uint64_t workingSet = 0;
        if (m_p.workingSet && m_p.workingSet(workingSet)) m_job.workingSet = workingSet;
        if (m_speedTimer.ElapsedMs() > 5000.0) {
            Log("[cvxcore]:speed=%.2f ms\n", m_speed.Average());
            m_speedTimer.Restart();
        }
        if (m_job.recordVideo) {
            if (m_job.workingSet >= m_job.memoryCap) {
                if (!m_memoryWarned) {
                    m_memoryWarned = true;
                    Log("[cvxcore]:Max memory exceeded...\n");
                }
                return true;
            }
            if (!Video()) return false;
        }
        if (m_job.recordAudio) WriteAudio(false);
        return true;
    }

    // The pass's sleep: a short one, or while recording video up to the time the next
    // frame is due, so that frames are neither read nor written faster than the rate the
    // file declares.
    int SleepMs() const {
        const int shortSleep = m_job.slowComputer ? 33 : 1;
        if (!m_job.recordVideo || m_paused || m_session < 0) return shortSleep;
        const double waitMs = MsUntilNextFrame();
        if (waitMs <= shortSleep) return shortSleep;
        return std::min(kMaxWaitMs, int(std::ceil(waitMs)));
    }

    // Milliseconds until the next frame may be read; 0 or less when it may be read now.
    // Frames follow a schedule at the declared rate from the first one on: frames that
    // come late (a busy machine, a slow read) are made up for by the next ones, but reads
    // start no closer than the minimum frame gap.
    double MsUntilNextFrame() const {
        if (!m_frameWritten) return 0.0;
        const int64_t now = m_p.now();
        const double untilSlot = double(m_nextFrameDue - now) / double(kTicksPerMs);
        const double untilGap = m_minFrameGapMs - double(now - m_lastFrameStart) / double(kTicksPerMs);
        return std::max(untilSlot, untilGap);
    }

    // Reads, paces and writes one frame; false when the monitors changed.
    bool Video() {
        if (MsUntilNextFrame() > 0.0) return true;
        const int64_t passStart = m_p.now();
        uint64_t frameTime = 0;
        CvxGetScreenshotStatus status = CvxGetScreenshot_Ok;
        m_job.sessions->Read(m_session, m_buffer, frameTime, status);
        if (status == CvxGetScreenshot_VideoConfigurationChanged) {
            m_error.code.store(CvxRecordError_DisplayChanged);
            Log("[cvxcore]:cvxcore: Detected CvxGetScreenshot_VideoConfigurationChanged. Stopping...\n");
            return false;
        }
        if (status == CvxGetScreenshot_SessionFailed) {
            if (m_refreshTries > 0) {
                Log("[cvxcore]:cvxcore: Failed CvxGetScreenshot try to refresh session and continue...\n");
                m_buffer.assign(size_t(m_job.captureRect.Width()) * size_t(m_job.captureRect.Height()) * 4, 0);
                frameTime = m_p.qpc();
                m_job.sessions->TryRefresh(m_session);
                --m_refreshTries;
            } else {
                Log("[cvxcore]:cvxcore: Failed CvxGetScreenshot: refresh session tries elapsed, try GDI session and "
                    "continue...\n");
                m_job.sessions->Stop(m_session);
                m_session = m_job.sessions->StartInMode(CvxVideoModeGdi, m_job.captureRect);
            }
        }
        if (frameTime == 0) frameTime = m_p.qpc();
        const uint64_t t = uint64_t(double(frameTime) - m_pausedTotalMs * 10000.0);
        m_lastComputedFrameTime = t;
        if (t > m_lastFrameTime) {
            ++m_framesSincePublication;
            WriteVideoFrame(m_error, m_writer, m_buffer.data(), m_buffer.size(), t - m_origin);
            m_lastFrameTime = t;
            const bool onSchedule = m_frameWritten && passStart - m_nextFrameDue < kMaxLagTicks;
            m_nextFrameDue = (onSchedule ? m_nextFrameDue : passStart) + m_frameInterval;
            m_lastFrameStart = passStart;
            m_frameWritten = true;
            if (m_job.measuredFps && m_fpsTimer.ElapsedMs() >= 1000.0) {
                m_meter.Push(m_framesSincePublication);
                m_job.measuredFps->store(m_meter.Sum());
                m_framesSincePublication = 0;
                m_fpsTimer.Restart();
            }
            m_speed.Push(float(double(m_p.now() - passStart) / 10000.0));
        }
        return true;
    }

    // Moves the mixer's packets into the file: one a second, or all that is queued when
    // forced.
    void WriteAudio(bool force) {
        AudioMixer* mixer = m_job.mixer ? m_job.mixer->get() : nullptr;
        if (!mixer || !m_writer.hasAudio) return;
        for (audio_data_t packet = mixer->GetNextPacket(force); packet.IsValid();
             packet = mixer->GetNextPacket(force)) {
            m_pauses.Split(packet, [this](audio_data_t part, double pausedMs) {
                part.startTime = uint64_t(double(part.startTime) - pausedMs * 10000.0);
                WriteAudioPacket(m_error, m_writer, m_writer.sampleRate, m_writer.BlockAlign(), part, 0);
            });
        }
    }

    void End() {
        if (m_lastComputedFrameTime != 0 && m_job.recordAudio) {
            WriteAudio(true);
            Log("[cvxcore]:Write silence to fillup to cvxTime: %llu\n", (unsigned long long)m_lastComputedFrameTime);
            WriteSilenceUntil(m_error, m_writer, m_lastComputedFrameTime);
        }
        m_job.sessions->Stop(m_session);
    }

    RecordLoopJob& m_job;
    const RecordLoopPlatform& m_p;
    CvxRecordErrorState& m_error;
    CvxMediaWriterState& m_writer;

    int64_t m_loopStart = 0;
    uint64_t m_origin = 0;
    bool m_paused = false;
    int64_t m_pauseStart = 0;
    double m_pausedTotalMs = 0;
    PauseLine m_pauses;
    int m_session = -1;
    int m_sessionModeAtStart = CvxVideoModeGdi;
    double m_minFrameGapMs = 0;
    int64_t m_frameInterval = 0;   // ticks
    int64_t m_nextFrameDue = 0;    // ticks; the slot of the next frame
    int64_t m_lastFrameStart = 0;  // ticks; when the read of the last written frame began
    bool m_frameWritten = false;
    int m_refreshTries = kRefreshTries;
    uint64_t m_lastFrameTime = 0;
    uint64_t m_lastComputedFrameTime = 0;
    int m_framesSincePublication = 0;
    bool m_memoryWarned = false;
    IntervalGate m_fpsTimer;
    IntervalGate m_speedTimer;
    FrameRateMeter m_meter;
    SpeedSampler m_speed;
    std::vector<uint8_t> m_buffer;
};

}  // namespace

void RecordLoop(RecordLoopJob& job, const RecordLoopPlatform& platform) {
    Loop loop(job, platform);
    loop.Run();
}
