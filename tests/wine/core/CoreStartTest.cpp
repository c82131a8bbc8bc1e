#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "core/Cvx.h"
#include "foundation/Log.h"
#include "../../native/core/LogCapture.h"

namespace {

// Where i386 Mesa puts its software renderer; with it Wine can create Direct3D 9 devices.
bool HaveMesa() {
    return GetFileAttributesW(L"Z:\\usr\\lib\\i386-linux-gnu\\dri\\swrast_dri.so") != INVALID_FILE_ATTRIBUTES;
}

// Index of `line` in `lines`, or -1.
int IndexOf(const std::vector<std::string>& lines, const std::string& line) {
    auto it = std::find(lines.begin(), lines.end(), line);
    return it == lines.end() ? -1 : int(it - lines.begin());
}

TEST(CvxInit, ChoosesGdiUnderWineAfterTryingDxgiAndDirect3D9) {
    std::vector<std::string> lines;
    bool ok;
    {
        LogCapture log;
        ok = CvxInit();
        lines = log.Lines();
    }
    std::string all;
    for (const auto& l : lines) all += l + "\n";
    ASSERT_TRUE(ok);
    EXPECT_EQ(CvxGetVideoMode(), CvxVideoModeGdi);
    EXPECT_EQ(CvxGetVideoModeName(), "{gdi}");
    EXPECT_GE(IndexOf(lines, "CvxInit:CoInitializeEx ok"), 0) << all;
    EXPECT_GE(IndexOf(lines, "CvxInit: MFStartup ok"), 0) << all;
    int dxgiFailed = IndexOf(lines, "CvxInit: DXGI screen capture mode failed");
    int dx9Failed = IndexOf(lines, "CvxInit: DX9 screen capture mode failed");
    int chosen = IndexOf(lines, "CvxInit: current video mode to 0");
    EXPECT_GE(dxgiFailed, 0) << all;
    EXPECT_GT(dx9Failed, dxgiFailed) << all;
    EXPECT_EQ(chosen, int(lines.size()) - 1) << all;
    if (HaveMesa()) {
        // Direct3D 9 works, its front buffer is black with the fourth byte 255, and the
        // black-frame test must say so before GDI is chosen.
        EXPECT_GE(IndexOf(lines, "CvxInit: d3d ok"), 0) << all;
        int tried = IndexOf(lines, "CvxGetScreenshot: capture with video mode 1");
        int black = IndexOf(lines, "CvxInit: VM 1 doesnt work. Black screen detected. Switching to GDI.");
        int failed = IndexOf(lines, "_TrySetScreenCaptureMode: VM 1 Failed");
        EXPECT_GT(tried, dxgiFailed) << all;
        EXPECT_GT(black, tried) << all;
        EXPECT_EQ(failed, black + 1) << all;
        EXPECT_EQ(dx9Failed, failed + 1) << all;
        EXPECT_LT(dx9Failed, chosen) << all;
    } else {
        // What runs without Direct3D 9 was checked above; the Direct3D 9 steps were not.
        GTEST_SKIP() << "i386 Mesa is not installed: Direct3D 9 cannot be tried\n" << all;
    }
}

}  // namespace

namespace {

std::wstring MakeTempFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + name + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// Every line of every log file in the folder.
std::string ReadLogFolder(const std::wstring& folder) {
    std::string text;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\cvxlog_*.log").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return text;
    do {
        FILE* file = _wfopen((folder + L"\\" + found.cFileName).c_str(), L"rb");
        if (!file) continue;
        char chunk[4096];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, n);
        fclose(file);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return text;
}

TEST(CvxReinit, RunsInitAgainAndKeepsLoggingToAFile) {
    std::wstring folder = MakeTempFolder(L"core_reinit_");
    g_logFolder = folder;
    OpenLogFile();
    ASSERT_TRUE(IsLogFileOpen());
    ASSERT_TRUE(CvxInit());
    Log("before the change of monitors\n");
    bool ok;
    {
        LogCapture log;
        ok = CvxReinit();
        EXPECT_TRUE(log.Has("CvxInit: current video mode to 0")) << log.All();
    }
    EXPECT_TRUE(ok);
    EXPECT_EQ(CvxGetVideoMode(), CvxVideoModeGdi);
    EXPECT_TRUE(IsLogFileOpen());
    Log("after the change of monitors\n");
    CloseLogFile();
    std::string logged = ReadLogFolder(folder);
    EXPECT_NE(logged.find("after the change of monitors"), std::string::npos) << logged;
    // The Direct3D 9 object was made again (with Mesa) or stays absent; nothing dangles.
    if (HaveMesa()) EXPECT_NE(CvxGetDirect3D9(), nullptr);
}

}  // namespace
