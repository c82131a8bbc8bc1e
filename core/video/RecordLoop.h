#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/CvxGetScreenshotStatus.h"
#include "core/CvxRect.h"
#include "core/TickClock.h"
#include "core/video/AudioMixer.h"
#include "core/video/Mp4Writer.h"
#include "core/video/RecordError.h"

class ScreenshotSessions;

// The capture sessions as the record loop sees them. On Windows the core's own session
// functions; in tests sessions over fake readers.
class IRecordSessions {
public:
    virtual ~IRecordSessions() = default;
    // In the current mode, falling back to GDI; the id or -1.
    virtual int Start(const CvxRect& area) = 0;
    virtual int StartInMode(int mode, const CvxRect& area) = 0;
    virtual std::vector<uint8_t>& Read(int id, std::vector<uint8_t>& buffer, uint64_t& time,
                                       CvxGetScreenshotStatus& status) = 0;
    virtual void TryRefresh(int id) = 0;
    virtual void Stop(int id) = 0;
    virtual int CurrentMode() = 0;
    // The mode of the last session that started.
    virtual int SessionMode() = 0;
};

// IRecordSessions over a ScreenshotSessions of our own (tests, and anything off Windows).
class PortableRecordSessions : public IRecordSessions {
public:
    PortableRecordSessions(ScreenshotSessions& sessions, std::function<int()> currentMode)
        : m_sessions(sessions), m_currentMode(std::move(currentMode)) {}
    int Start(const CvxRect& area) override;
    int StartInMode(int mode, const CvxRect& area) override;
    std::vector<uint8_t>& Read(int id, std::vector<uint8_t>& buffer, uint64_t& time,
                               CvxGetScreenshotStatus& status) override;
    void TryRefresh(int id) override;
    void Stop(int id) override;
    int CurrentMode() override { return m_currentMode(); }
    int SessionMode() override;

private:
    ScreenshotSessions& m_sessions;
    std::function<int()> m_currentMode;
};

// Time and the machine, as the loop sees them.
struct RecordLoopPlatform {
    TickClock now = MonotonicTicks;                 // intervals, pauses, recorded time
    std::function<uint64_t()> qpc;                  // frame and audio time stamps
    std::function<void(int ms)> sleep;
    std::function<bool(uint64_t& bytes)> workingSet;   // false: keep the last value
};

// One recording as the loop sees it. The pointers belong to the recording thread.
struct RecordLoopJob {
    CvxRecordErrorState* error = nullptr;
    CvxMediaWriterState* writer = nullptr;
    IRecordSessions* sessions = nullptr;
    // The loop creates the mixer when audio is recorded and publishes it to the capture
    // threads through `mixerSlot` before raising `goFlag`.
    std::unique_ptr<AudioMixer>* mixer = nullptr;
    std::atomic<AudioMixer*>* mixerSlot = nullptr;
    std::atomic<bool>* goFlag = nullptr;
    const std::atomic<bool>* stopFlag = nullptr;
    const std::atomic<bool>* pauseFlag = nullptr;
    std::atomic<int>* measuredFps = nullptr;       // may be null
    std::atomic<double>* recordedMs = nullptr;     // may be null
    bool recordVideo = true;
    bool recordAudio = false;                      // sound or microphone
    CvxRect captureRect;                           // even-sized
    int fps = 25;
    bool slowComputer = false;
    uint64_t memoryCap = 0;
    uint64_t workingSet = 0;                       // refreshed every pass
};

// Reads, paces and writes frames and moves the mixed audio into the file until the stop
// flag is set or an error is recorded; then pads the audio up to the last frame time and
// stops the session.
void RecordLoop(RecordLoopJob& job, const RecordLoopPlatform& platform);

// Stores `value` into `target` with a compare-exchange loop.
void StoreRecordedMs(std::atomic<double>& target, double value);
