#pragma once
#include <atomic>
#include <cstdint>

// The recorder's failure codes: the first step of a recording that failed.
enum CvxRecordError : int {
    CvxRecordError_None = 0,
    CvxRecordError_CoInitialize = 1,
    CvxRecordError_CreateSinkWriter = 2,
    CvxRecordError_AudioFormatsDiffer = 4,
    CvxRecordError_AudioFormatTag = 5,
    CvxRecordError_AudioStream = 6,
    CvxRecordError_WriteVideo = 7,
    CvxRecordError_BeginWriting = 8,
    CvxRecordError_VideoStream = 9,
    CvxRecordError_VideoInputType = 10,
    CvxRecordError_DisplayChanged = 11,
    CvxRecordError_NoSession = 12,
    CvxRecordError_WriteAudio = 14,
    // audio capture thread steps
    CvxRecordError_AudioCoInitialize = 15,
    CvxRecordError_AudioEnumerator = 16,
    CvxRecordError_AudioEndpoint = 17,
    CvxRecordError_AudioActivate = 18,
    CvxRecordError_AudioMixFormat = 19,
    CvxRecordError_AudioInitialize = 20,
    CvxRecordError_AudioCaptureClient = 21,
    CvxRecordError_AudioClock = 22,
    CvxRecordError_AudioMmcss = 23,
    CvxRecordError_AudioStart = 24,
    CvxRecordError_AudioPosition = 25,
    CvxRecordError_AudioBufferSize = 26,
    CvxRecordError_AudioPacketSize = 27,
    CvxRecordError_AudioGetBuffer = 28,
    CvxRecordError_AudioReleaseBuffer = 29,
    CvxRecordError_AudioFormatSupport = 31,
    // a recording was requested while another one had not finished
    CvxRecordError_AlreadyRecording = 30,
};

constexpr int32_t kRecordHrFalse = 1;   // S_FALSE

// One recording's failure: the code and HRESULT of the first failing step, and the
// address of the recording thread's error flag (raised on every failure so that the
// loop and the audio threads stop). Shared by the recording thread and its audio
// threads; every field is atomic.
struct CvxRecordErrorState {
    std::atomic<int> code{0};
    std::atomic<int32_t> hresult{0};
    std::atomic<std::atomic<bool>*> errorFlag{nullptr};

    bool Failed() const { return code.load() != 0; }
    void Reset() {
        code = 0;
        hresult = 0;
    }
};

// Records a failure: logs "[cvxcore]:[Failed]:err=%d errEx=0x%x", keeps the code and
// HRESULT when no failure was recorded before (the first failure is the one reported)
// and raises the error flag.
void SetRecordError(CvxRecordErrorState& state, int code, int32_t hr);
// The same with HRESULT S_FALSE and the line "...errEx=S_FALSE".
void SetRecordError(CvxRecordErrorState& state, int code);
