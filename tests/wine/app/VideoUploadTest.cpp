// A recording made for upload, from the recorder's "recorded" message to the end of its
// upload: the link on the clipboard, the user event, the progress window, the link
// opened or not, the recording deleted from the program's tmp folder whatever the
// outcome. The sending is replaced; the test plays the worker through the real
// VideoUploadHandler.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/MainDlg.h"
#include "app/ProgressDlg.h"
#include "app/UploadHandler.h"
#include "app/UploadLinks.h"
#include "foundation/Clipboard.h"
#include "server/ScreenshotUidManager.h"
#include "settings/SettingsManager.h"
#include "tests/wine/app/MainDlgScript.h"

namespace {

constexpr char kUid[] = "VidUid42";

enum class Outcome { Ok, Failed, NotStarted };

struct VideoUploadCase {
    const char* name;
    bool recorded;        // the recorder's flag (wParam of the "recorded" message)
    bool direct;          // use_video_direct_file_link
    bool openVideos;      // open_video_in_browser
    bool screenshotDirect;   // use_screenshot_direct_file_link: never decides for videos
    bool inTmpFolder;     // the recording lies in the program's tmp folder
    Outcome outcome;
};

// Cases are named by their name in test output.
void PrintTo(const VideoUploadCase& c, std::ostream* os) { *os << c.name; }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(file, "not really an mp4", 17, &written, nullptr);
    CloseHandle(file);
}

// The short link of a video on the given UTC day.
std::wstring ExpectedLink(const SYSTEMTIME& day, bool direct) {
    std::string uid = kUid;
    return MakeShortLink(SettingsManager::GetLinkHost(), L"v", day.wDay, day.wMonth, day.wYear,
                         std::wstring(uid.begin(), uid.end())) +
           (direct ? L".mp4" : L"");
}

class VideoUploadTest : public ::testing::TestWithParam<VideoUploadCase> {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        root = std::wstring(temp) + L"brivane video upload test";
        tmpFolder = root + L"\\tmp";
        // Begins with the tmp folder's text, but is another folder.
        otherFolder = root + L"\\tmp2";
        CreateDirectoryW(root.c_str(), nullptr);
        CreateDirectoryW(tmpFolder.c_str(), nullptr);
        CreateDirectoryW(otherFolder.c_str(), nullptr);
        // One known identifier in the pool, and no refill going out.
        ScreenshotUidManager::Hooks hooks;
        hooks.loadUids = [] { return std::vector<std::string>(); };
        hooks.saveUids = [](const std::vector<std::string>&) {};
        hooks.fetchUids = [](std::function<void(const std::vector<std::string>&)>) {};
        ScreenshotUidManager::Instance().Init(hooks);
        ScreenshotUidManager::Instance().AddUids({kUid});
    }
    void TearDown() override {
        SettingsManager& settings = SettingsManager::Instance();
        settings.SetUseVideoDirectFileLink(false);
        settings.SetUseScreenshotDirectFileLink(false);
        settings.SetNeedToOpenVideoInBrowser(true);
        DeleteFileW(path.c_str());
        RemoveDirectoryW(tmpFolder.c_str());
        RemoveDirectoryW(otherFolder.c_str());
        RemoveDirectoryW(root.c_str());
    }

    std::wstring root, tmpFolder, otherFolder, path;
};

TEST_P(VideoUploadTest, RecordingIsUploadedWithItsLinkAndLeavesNoTmpFile) {
    const VideoUploadCase& c = GetParam();
    SettingsManager& settings = SettingsManager::Instance();
    settings.SetSilentMode(false);
    settings.SetUseVideoDirectFileLink(c.direct);
    settings.SetUseScreenshotDirectFileLink(c.screenshotDirect);
    settings.SetNeedToOpenVideoInBrowser(c.openVideos);
    path = (c.inTmpFolder ? tmpFolder : otherFolder) + L"\\AbCdEfGhIjKlMnOp.mp4";
    WriteFile(path);
    ASSERT_TRUE(Exists(path));

    Recorded r;
    DialogTemplate tmpl = MainTemplate();
    MainDlgEnvironment env = TestEnvironment(r);
    env.appTmpFolder = tmpFolder;
    TestMainDlg dlg(tmpl.Get(), env);
    std::shared_ptr<UploadHandler> handler;
    dlg.startUpload = [&](std::shared_ptr<UploadHandler> h) {
        handler = h;
        return c.outcome != Outcome::NotStarted;
    };
    SYSTEMTIME before, after;
    GetSystemTime(&before);
    std::wstring clipboard;
    bool windowShown = false, busyDuringUpload = false, keptWhileRunning = false;
    int balloonsBefore = -1;
    dlg.steps = {
        [&](TestMainDlg& d) {
            d.CaptureBusy() = true;   // as the recording leaves it
            d.Recording().VideoPath() = path;
            d.Post(WM_APP_VIDEO_RECORDED, c.recorded ? 1 : 0, 0);
            return true;
        },
        [&](TestMainDlg& d) {
            if (!handler) return false;
            if (c.outcome == Outcome::NotStarted) return !d.Uploads().Handler() && !d.CaptureBusy();
            return d.Uploads().Handler() == handler && d.Uploads().ProgressDlg() && d.Uploads().ProgressDlg()->m_hWnd &&
                   IsWindowVisible(d.Uploads().ProgressDlg()->m_hWnd);
        },
        [&](TestMainDlg& d) {
            GetClipboardText(d.m_hWnd, clipboard);
            windowShown = d.Uploads().ProgressDlg() != nullptr;
            busyDuringUpload = d.CaptureBusy();
            keptWhileRunning = Exists(path);
            balloonsBefore = d.TrayIcon().BalloonCount();
            if (c.outcome == Outcome::Ok) {
                handler->OnProgress(60);
                handler->OnFinished(true);
            } else if (c.outcome == Outcome::Failed) {
                handler->OnError(0x60000);
                handler->OnFinished(false);
            }
            return true;
        },
        [](TestMainDlg& d) { return !d.Uploads().Handler() && !d.Uploads().ProgressDlg() && !d.CaptureBusy(); },
        // A balloon is shown a second after it was queued; a link opens through a posted
        // message: give both their time.
        Wait(1300),
    };
    dlg.Run(15000);
    GetSystemTime(&after);

    ASSERT_TRUE(handler);
    auto* video = dynamic_cast<VideoUploadHandler*>(handler.get());
    ASSERT_NE(video, nullptr) << "a recording's upload needs the handler that deletes it";
    EXPECT_EQ(video->m_filePath, path);

    // The link was on the clipboard while the upload ran.
    EXPECT_TRUE(clipboard == ExpectedLink(before, c.direct) || clipboard == ExpectedLink(after, c.direct))
        << std::string(clipboard.begin(), clipboard.end());
    EXPECT_EQ(ScreenshotUidManager::Instance().Pool().size(), 0u) << "one identifier taken";

    std::wstring tail = clipboard.substr(clipboard.find_last_of(L'/') + 1);
    std::wstring event = L"User|Upload|U[" + settings.GetShortAppId() + L"], I[" + tail + L"]";
    int userEvents = 0;
    for (const auto& e : r.events) userEvents += e.compare(0, 12, L"User|Upload|") == 0;
    if (c.recorded) {
        EXPECT_EQ(userEvents, 1);
        EXPECT_TRUE(std::find(r.events.begin(), r.events.end(), event) != r.events.end())
            << std::string(event.begin(), event.end());
    } else {
        EXPECT_EQ(userEvents, 0);
    }

    switch (c.outcome) {
    case Outcome::Ok: {
        EXPECT_TRUE(windowShown);
        EXPECT_TRUE(busyDuringUpload) << "the recording's busy flag is cleared only after its upload";
        EXPECT_TRUE(keptWhileRunning);
        EXPECT_EQ(dlg.TrayIcon().BalloonCount(), balloonsBefore);
        if (c.openVideos) {
            ASSERT_EQ(r.urls.size(), 1u);
            EXPECT_EQ(r.urls[0], c.direct ? clipboard : clipboard + L"?a");
        } else {
            EXPECT_TRUE(r.urls.empty());
        }
        EXPECT_EQ(Exists(path), !c.inTmpFolder);
        break;
    }
    case Outcome::Failed: {
        EXPECT_TRUE(windowShown);
        EXPECT_TRUE(r.urls.empty());
        EXPECT_EQ(dlg.TrayIcon().BalloonCount(), balloonsBefore + 1);
        std::wstring text = dlg.TrayIcon().LastBalloonText();
        EXPECT_NE(text.find(L" Code: 0x060000"), std::wstring::npos) << std::string(text.begin(), text.end());
        // Deleted after a failed upload too: a recording made for upload is not kept.
        EXPECT_EQ(Exists(path), !c.inTmpFolder);
        break;
    }
    case Outcome::NotStarted:
        // Nothing to observe the upload: no window, no link opened, the link left on
        // the clipboard, and the busy flag cleared.
        EXPECT_FALSE(windowShown);
        EXPECT_TRUE(r.urls.empty());
        EXPECT_FALSE(dlg.CaptureBusy());
        break;
    }
    std::wstring now;
    GetClipboardText(nullptr, now);
    EXPECT_EQ(now, clipboard) << "the link stays on the clipboard";
}

std::string CaseName(const ::testing::TestParamInfo<VideoUploadCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Cases, VideoUploadTest,
    ::testing::Values(
        //              name                   recorded direct open  shotDirect inTmp outcome
        VideoUploadCase{"PageLinkOpenedWithA", true, false, true, true, true, Outcome::Ok},
        VideoUploadCase{"DirectLinkOpenedAsIs", true, true, true, false, true, Outcome::Ok},
        VideoUploadCase{"NotOpenedWhenVideosStayClosed", true, false, false, false, true, Outcome::Ok},
        VideoUploadCase{"NotRecordedSendsNoUserEvent", false, false, true, false, true, Outcome::Ok},
        VideoUploadCase{"OutsideTheTmpFolderIsKept", true, false, true, false, false, Outcome::Ok},
        VideoUploadCase{"FailedUploadStillDeletesTheRecording", true, false, true, false, true, Outcome::Failed},
        VideoUploadCase{"FailedUploadKeepsAFileFromElsewhere", true, true, true, false, false, Outcome::Failed},
        VideoUploadCase{"NotStartedLeavesTheLink", true, false, true, false, true, Outcome::NotStarted}),
    CaseName);

}  // namespace
