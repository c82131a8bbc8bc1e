#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "../../native/core/LogCapture.h"
#include "TestWindow.h"
#include "core/Cvx.h"
#include "core/video/MediaFileWriter.h"
#include "core/video/Recorder.h"

namespace {

// Where the machine below throws.
enum class ThrowAt { CoInit, WriterFactory, FrameRead };

// The machine itself, except that one call throws: COM's start-up on the recording
// thread, the platform writer's factory (COM is up, no writer yet) or a frame read (the
// writer exists and is writing).
class ThrowingRecorderPlatform : public IRecorderPlatform, private IRecordSessions {
public:
    explicit ThrowingRecorderPlatform(ThrowAt at) : m_at(at), m_real(CreateWindowsRecorderPlatform()) {}
    int coUninits = 0;

    int32_t CoInit() override {
        if (m_at == ThrowAt::CoInit) throw std::runtime_error("thrown by CoInit");
        return m_real->CoInit();
    }
    void CoUninit() override {
        ++coUninits;
        m_real->CoUninit();
    }
    uint32_t ProcessorCount() override { return m_real->ProcessorCount(); }
    std::string ProcessorBrand() override { return m_real->ProcessorBrand(); }
    void TakeSnapshot() override { m_real->TakeSnapshot(); }
    bool WorkingSet(uint64_t& bytes) override { return m_real->WorkingSet(bytes); }
    CvxRect VirtualScreen() override { return m_real->VirtualScreen(); }
    IRecordSessions& Sessions() override { return *this; }
    MediaWriterFactory PlatformWriter() override {
        if (m_at != ThrowAt::WriterFactory) return m_real->PlatformWriter();
        return [](const std::wstring&, int32_t&) -> std::unique_ptr<IMediaFileWriter> {
            throw std::runtime_error("thrown by the writer factory");
        };
    }
    MediaWriterFactory BuiltinWriter() override { return m_real->BuiltinWriter(); }
    AudioBackendFactory AudioBackend() override { return m_real->AudioBackend(); }
    RecordLoopPlatform LoopPlatform() override { return m_real->LoopPlatform(); }

private:
    IRecordSessions& Real() { return m_real->Sessions(); }
    int Start(const CvxRect& area) override { return Real().Start(area); }
    int StartInMode(int mode, const CvxRect& area) override { return Real().StartInMode(mode, area); }
    std::vector<uint8_t>& Read(int id, std::vector<uint8_t>& buffer, uint64_t& time,
                               CvxGetScreenshotStatus& status) override {
        if (m_at == ThrowAt::FrameRead) throw std::runtime_error("thrown by a frame read");
        return Real().Read(id, buffer, time, status);
    }
    void TryRefresh(int id) override { Real().TryRefresh(id); }
    void Stop(int id) override { Real().Stop(id); }
    int CurrentMode() override { return Real().CurrentMode(); }
    int SessionMode() override { return Real().SessionMode(); }

    ThrowAt m_at;
    std::shared_ptr<IRecorderPlatform> m_real;
};

// An exception on the recording thread is reported as the step it was thrown in, and the
// recording is still released and finished.
TEST(CvxRecordVideoAsync, ExceptionIsReportedAsTheStepItWasThrownIn) {
    struct Case {
        ThrowAt at;
        const char* message;
        int code;
        const char* failedLine;
        int coUninits;
        bool file;
    };
    const Case cases[] = {
        {ThrowAt::CoInit, "thrown by CoInit", CvxRecordError_CoInitialize,
         "[cvxcore]:[Failed]:err=1 errEx=0x8000ffff", 0, false},
        {ThrowAt::WriterFactory, "thrown by the writer factory", CvxRecordError_CreateSinkWriter,
         "[cvxcore]:[Failed]:err=2 errEx=0x8000ffff", 1, false},
        {ThrowAt::FrameRead, "thrown by a frame read", CvxRecordError_WriteVideo,
         "[cvxcore]:[Failed]:err=7 errEx=0x8000ffff", 1, true},
    };
    ASSERT_TRUE(CvxInit());
    TestWindow window(40, 40, 160, 120);
    TestWindow::Pump(100);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + L"brivane_recorder_throw_test.mp4";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        DeleteFileW(path.c_str());
        auto platform = std::make_shared<ThrowingRecorderPlatform>(c.at);
        std::atomic<bool> stop{false}, pause{false}, cancel{false}, finished{true};
        std::atomic<int> code{-1};
        std::atomic<HRESULT> hr{-1};
        video_record_params_t request;
        request.outputPath = path.c_str();
        request.stopFlag = &stop;
        request.pauseFlag = &pause;
        request.cancelFlag = &cancel;
        request.finishedFlag = &finished;
        request.captureRect = ToCvxRect(window.Rect());
        request.errorCode = &code;
        request.errorHResult = &hr;
        LogCapture log;
        StartRecording(request, platform);
        const DWORD start = GetTickCount();
        while (!finished.load() && GetTickCount() - start < 20000) TestWindow::Pump(5);
        ASSERT_TRUE(finished.load());
        log.Lines();   // ends the capture, so that failures below are shown
        EXPECT_FALSE(CvxIsRecordingActive());
        EXPECT_EQ(code.load(), c.code);
        EXPECT_EQ(hr.load(), HRESULT(kWriterUnexpected));
        EXPECT_TRUE(log.Has(std::string("[cvxcore]:Recording thread failed: ") + c.message)) << log.All();
        EXPECT_TRUE(log.Has(c.failedLine)) << log.All();
        EXPECT_TRUE(log.Has("[cvxcore]:Releasing Video")) << log.All();
        EXPECT_EQ(log.Lines().back(), "[cvxcore]:Recording finished");
        EXPECT_EQ(platform->coUninits, c.coUninits);
        EXPECT_EQ(GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES, c.file);
    }
    DeleteFileW(path.c_str());
}

// A short recording of a window through the core's entry point, without sound: the
// out-values, the log lines as Windows' printf writes them, and the refusals while it
// runs.
TEST(CvxRecordVideoAsync, RecordsAnAreaAndRefusesOverlapAndReinit) {
    ASSERT_TRUE(CvxInit());
    TestWindow window(40, 40, 160, 120);
    TestWindow::Pump(100);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + L"brivane_recorder_test.mp4";
    DeleteFileW(path.c_str());

    std::atomic<bool> stop{false}, pause{false}, cancel{false}, finished{true};
    std::atomic<int> fps{0}, code{-1};
    std::atomic<double> ms{0};
    std::atomic<HRESULT> hr{-1};
    int size[2] = {0, 0};
    char cpu[kCpuInfoSize] = {};
    char* text = cpu;
    LogCapture log;
    CvxRecordVideoAsync(path.c_str(), false, 0, 0, false, false, &stop, &pause, &cancel, &finished, &fps, &ms, size,
                        cpu, &code, &hr, &text, window.Rect());
    EXPECT_TRUE(CvxIsRecordingActive());
    const DWORD start = GetTickCount();
    while (ms.load() < 400 && GetTickCount() - start < 10000) TestWindow::Pump(5);

    // A second request and a re-initialisation are refused while it runs.
    std::atomic<bool> finished2{false};
    std::atomic<int> code2{-1};
    CvxRecordVideoAsync(L"unused.mp4", false, 0, 0, false, false, &stop, &pause, &cancel, &finished2, nullptr, &ms,
                        nullptr, nullptr, &code2, &hr, nullptr, window.Rect());
    EXPECT_TRUE(finished2.load());
    EXPECT_EQ(code2.load(), CvxRecordError_AlreadyRecording);
    EXPECT_FALSE(CvxReinit());

    stop = true;
    while (!finished.load() && GetTickCount() - start < 20000) TestWindow::Pump(5);
    ASSERT_TRUE(finished.load());
    EXPECT_FALSE(CvxIsRecordingActive());
    EXPECT_EQ(code.load(), 0);
    EXPECT_EQ(hr.load(), 0);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(size[0], 160);
    EXPECT_EQ(size[1], 120);
    EXPECT_TRUE(log.Has("CvxReinit: refused, a recording is running")) << log.All();
    EXPECT_TRUE(log.Has("[cvxcore]:Bitrate: 640000"));
    EXPECT_TRUE(log.Has("[cvxcore]:in size: 160x120"));
    bool origin = false;
    const std::string head = "[cvxcore]:cvxcore: Origin time point = ", tail = " in 100ns";
    for (const std::string& line : log.Lines()) {
        if (line.size() <= head.size() + tail.size() || line.compare(0, head.size(), head) != 0) continue;
        const std::string number = line.substr(head.size(), line.size() - head.size() - tail.size());
        origin = origin || (line.compare(line.size() - tail.size(), tail.size(), tail) == 0 &&
                            number.find_first_not_of("0123456789") == std::string::npos && number[0] != '0');
    }
    EXPECT_TRUE(origin) << log.All();
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
    EXPECT_GT(data.nFileSizeLow, 1000u);
    DeleteFileW(path.c_str());
}

}  // namespace
