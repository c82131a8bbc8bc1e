#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "../../native/core/LogCapture.h"
#include "TestWindow.h"
#include "core/Cvx.h"
#include "core/video/Recorder.h"

namespace {

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
