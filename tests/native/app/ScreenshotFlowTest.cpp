#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/ScreenshotFlow.h"
#include "app/ScreenshotNames.h"
#include "image/PxImageFormat.h"

namespace {

TEST(ScreenshotNamesTest, DefaultNamesFollowTheirPatterns) {
    std::tm t = {};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 2;   // March
    t.tm_mday = 5;
    t.tm_hour = 9;
    t.tm_min = 15;
    t.tm_sec = 2;
    EXPECT_EQ(FormatLocalTime(L"Screenshot %d-%m-%Y %H%M%S", t), L"Screenshot 05-03-2026 091502");
    EXPECT_EQ(FormatLocalTime(L"Video %m-%d-%Y %H%M%S", t), L"Video 03-05-2026 091502");
}

TEST(ScreenshotNamesTest, ExtensionIsTakenFromTheLastComponentOnly) {
    struct Case {
        const wchar_t* path;
        const wchar_t* extension;
    };
    const Case cases[] = {{L"C:\\shots\\a.png", L"png"},
                          {L"C:\\a.jpg\\shot", L""},
                          {L"D:/a.b/c", L""},
                          {L"name", L""},
                          {L"archive.tar.gz", L"gz"},
                          {L"trailing.", L""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path, c.path + wcslen(c.path)));
        EXPECT_EQ(GetFileExtensionFromPath(c.path), c.extension);
    }
}

TEST(ScreenshotNamesTest, FormatComesFromTheFinalExtensionWithoutCase) {
    struct Case {
        const char* name;
        const wchar_t* file;
        int imageType;
        uint32_t format;
        const wchar_t* appended;
    };
    const Case cases[] = {
        {"default name, PNG setting", L"Screenshot 05-03-2026 091502", 0, PxFormatPNG, L".png"},
        {"default name, JPEG setting", L"Screenshot 05-03-2026 091502", 1, PxFormatJPG, L".jpg"},
        {"chosen .png while the setting is JPEG", L"C:\\x\\shot.png", 1, PxFormatPNG, L""},
        {"upper-case extension is not doubled", L"C:\\x\\SHOT.PNG", 0, PxFormatPNG, L""},
        {".jpeg", L"C:\\x\\shot.JPEG", 0, PxFormatJPG, L""},
        {"a .jpg folder does not make a PNG name JPEG", L"D:\\a.jpg\\shot.png", 0, PxFormatPNG, L""},
        {"a .jpg folder and a bare name", L"D:\\a.jpg\\shot", 0, PxFormatPNG, L".png"},
        {"other extension gets the configured one", L"C:\\x\\shot.bmp", 1, PxFormatJPG, L".jpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScreenshotFileFormat f = ChooseScreenshotFormat(c.file, c.imageType);
        EXPECT_EQ(f.formatCode, c.format);
        EXPECT_EQ(f.appendedExtension, c.appended);
    }
}

TEST(ScreenshotNamesTest, UniquePathNumbersTakenNames) {
    std::set<std::wstring> taken = {L"F\\Screenshot 1.png", L"F\\Screenshot 1 (2).png"};
    auto exists = [&](const std::wstring& p) { return taken.count(p) != 0; };
    EXPECT_EQ(MakeUniqueFilePath(L"F\\Screenshot 1", L".png", exists), L"F\\Screenshot 1 (3).png");
    EXPECT_EQ(MakeUniqueFilePath(L"F\\Screenshot 2", L".png", exists), L"F\\Screenshot 2.png");
    EXPECT_EQ(MakeUniqueFilePath(L"F\\x", L".png", [](const std::wstring&) { return true; }), L"")
        << "gives up instead of looping for ever";
}

TEST(ScreenshotNamesTest, ActiveWindowRectIsClippedToTheVirtualScreen) {
    const CvxRect screen = {-1280, -200, 1920, 1080};   // a monitor left of and above the primary
    struct Case {
        const char* name;
        WindowFrame frame;
        bool ok;
        CvxRect crop;
    };
    const Case cases[] = {
        {"window rect when the compositor cannot tell", {true, {100, 50, 500, 350}, false, {}}, true,
         {1380, 250, 1780, 550}},
        {"the compositor's visible frame wins", {true, {92, 50, 508, 358}, true, {100, 50, 500, 350}}, true,
         {1380, 250, 1780, 550}},
        {"partly off the left edge", {true, {-1300, 0, -1200, 100}, false, {}}, true, {0, 200, 80, 300}},
        {"partly below the bottom", {true, {0, 1000, 100, 1200}, false, {}}, true, {1280, 1200, 1380, 1280}},
        {"entirely off screen", {true, {2000, 0, 2100, 100}, false, {}}, false, {}},
        {"minimised window far away", {true, {-32000, -32000, -31840, -31972}, false, {}}, false, {}},
        {"no foreground window", {false, {}, false, {}}, false, {}},
        {"empty rectangle", {true, {10, 10, 10, 40}, false, {}}, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CvxRect crop = {-7, -7, -7, -7};
        EXPECT_EQ(ActiveWindowCropRect(c.frame, screen, crop), c.ok);
        if (c.ok) {
            EXPECT_EQ(crop, c.crop);
        }
    }
}

// The main dialog's world for one shot, recorded as a list of what happened.
struct FakeFlow {
    int storage = 5;
    int imageType = 0;
    bool uploadRunning = false;
    bool folderExists = true;
    bool canCreateFolder = true;
    bool writeFails = false;
    bool throwOnClipboard = false;
    bool withUploader = false;
    bool uploadStarts = true;
    std::set<std::wstring> existing;
    std::vector<std::string> log;
    std::vector<std::wstring> written;
    std::map<std::wstring, uint32_t> formats;
    std::vector<std::wstring> uploaded;

    ScreenshotFlow::Actions Actions() {
        ScreenshotFlow::Actions a;
        a.storageType = [this] { return storage; };
        a.imageTypeId = [this] { return imageType; };
        a.screenshotsFolder = [] { return std::wstring(L"C:\\Shots"); };
        a.appTmpFolder = [] { return std::wstring(L"C:\\Tmp"); };
        a.uploadRunning = [this] { return uploadRunning; };
        a.playSound = [this] { log.push_back("sound"); };
        a.directoryExists = [this](const std::wstring&) { return folderExists; };
        a.createDirectory = [this](const std::wstring&) {
            log.push_back("mkdir");
            return canCreateFolder;
        };
        a.fileExists = [this](const std::wstring& p) { return existing.count(p) != 0; };
        a.writeImage = [this](const std::wstring& p, uint32_t format) {
            if (writeFails) return false;
            written.push_back(p);
            formats[p] = format;
            existing.insert(p);
            log.push_back("file");
            return true;
        };
        a.copyToClipboard = [this] {
            if (throwOnClipboard) throw std::runtime_error("clipboard");
            log.push_back("clipboard");
            return true;
        };
        if (withUploader) {
            a.startUpload = [this](const std::wstring& p) {
                uploaded.push_back(p);
                log.push_back("upload");
                return uploadStarts;
            };
        }
        a.postEvent = [this](const std::wstring& c, const std::wstring& ac, const std::wstring& l) {
            log.push_back("event:" + std::string(c.begin(), c.end()) + "/" + std::string(ac.begin(), ac.end()) +
                          "/" + std::string(l.begin(), l.end()));
        };
        a.postError = [this](unsigned id) { log.push_back("error:" + std::to_string(id)); };
        a.notify = [this](unsigned id) { log.push_back("info:" + std::to_string(id)); };
        return a;
    }
};

const std::wstring kName = L"Screenshot 05-03-2026 091502";

TEST(ScreenshotFlowTest, StorageAndEditorActionDecideWhereTheShotGoes) {
    using V = std::vector<std::string>;
    const std::string finished = "event:Screenshot/Finished/";
    struct Case {
        const char* name;
        int storage;
        bool fromEditor;
        int action;
        V log;
        std::vector<std::wstring> files;
        std::vector<std::wstring> uploads;
    };
    const Case cases[] = {
        {"1 clipboard", 1, false, -1, {"sound", "clipboard", finished}, {}, {}},
        {"5 clipboard and local", 5, false, -1, {"sound", "file", "clipboard", finished},
         {L"C:\\Shots\\" + kName + L".png"}, {}},
        {"4 local only", 4, false, -1, {"sound", "file", finished}, {L"C:\\Shots\\" + kName + L".png"}, {}},
        {"2 server: tmp folder and upload", 2, false, -1, {"sound", "file", "upload", finished},
         {L"C:\\Tmp\\" + kName + L".png"}, {L"C:\\Tmp\\" + kName + L".png"}},
        {"6 server and local", 6, false, -1, {"sound", "file", "upload", finished},
         {L"C:\\Shots\\" + kName + L".png"}, {L"C:\\Shots\\" + kName + L".png"}},
        {"3: link first, then the picture replaces it", 3, false, -1,
         {"sound", "file", "upload", "clipboard", finished}, {L"C:\\Tmp\\" + kName + L".png"},
         {L"C:\\Tmp\\" + kName + L".png"}},
        {"editor upload without local bit", 1, true, 0, {"sound", "file", "upload", finished},
         {L"C:\\Tmp\\" + kName + L".png"}, {L"C:\\Tmp\\" + kName + L".png"}},
        {"editor clipboard with local bit", 6, true, 1, {"sound", "file", "clipboard", finished},
         {L"C:\\Shots\\" + kName + L".png"}, {}},
        {"editor clipboard without local bit", 2, true, 1, {"sound", "clipboard", finished}, {}, {}},
        {"editor without action follows the storage", 1, true, -1, {"sound", "clipboard", finished}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFlow fake;
        fake.storage = c.storage;
        fake.withUploader = true;
        ScreenshotFlow flow(fake.Actions());
        EXPECT_TRUE(flow.Process(c.fromEditor, kName, c.action));
        EXPECT_EQ(fake.log, c.log);
        EXPECT_EQ(fake.written, c.files);
        EXPECT_EQ(fake.uploaded, c.uploads);
    }
}

TEST(ScreenshotFlowTest, ChosenPathIsWrittenAsItIsAndNothingElseHappens) {
    FakeFlow fake;
    fake.storage = 7;
    fake.imageType = 1;
    fake.folderExists = false;
    fake.existing.insert(L"D:\\mine\\pic.png");   // the save dialog asked before replacing it
    ScreenshotFlow flow(fake.Actions());
    EXPECT_TRUE(flow.Process(true, L"D:\\mine\\pic.png", 2));
    EXPECT_EQ(fake.log, (std::vector<std::string>{"sound", "file", "event:Screenshot/Finished/"}));
    ASSERT_EQ(fake.written, (std::vector<std::wstring>{L"D:\\mine\\pic.png"}));
    EXPECT_EQ(fake.formats[L"D:\\mine\\pic.png"], static_cast<uint32_t>(PxFormatPNG));
}

TEST(ScreenshotFlowTest, TwoShotsInOneSecondKeepBothFiles) {
    FakeFlow fake;
    fake.storage = 4;
    ScreenshotFlow flow(fake.Actions());
    EXPECT_TRUE(flow.Process(false, kName, -1));
    EXPECT_TRUE(flow.Process(false, kName, -1));
    fake.imageType = 1;
    EXPECT_TRUE(flow.Process(false, kName, -1));
    EXPECT_EQ(fake.written, (std::vector<std::wstring>{L"C:\\Shots\\" + kName + L".png",
                                                        L"C:\\Shots\\" + kName + L" (2).png",
                                                        L"C:\\Shots\\" + kName + L".jpg"}));
    EXPECT_EQ(fake.formats[L"C:\\Shots\\" + kName + L".jpg"], static_cast<uint32_t>(PxFormatJPG));
}

TEST(ScreenshotFlowTest, FolderThatCannotBeCreatedStopsTheShotWithBalloon138) {
    FakeFlow fake;
    fake.storage = 5;
    fake.folderExists = false;
    fake.canCreateFolder = false;
    ScreenshotFlow flow(fake.Actions());
    EXPECT_FALSE(flow.Process(false, kName, -1));
    EXPECT_EQ(fake.log, (std::vector<std::string>{"sound", "mkdir", "event:Error/SaveScreenshotFile/CreateDirectory",
                                                  "error:138"}));
    // A missing folder that can be made is made, and the shot goes on.
    FakeFlow made;
    made.storage = 4;
    made.folderExists = false;
    ScreenshotFlow madeFlow(made.Actions());
    EXPECT_TRUE(madeFlow.Process(false, kName, -1));
    EXPECT_EQ(made.log, (std::vector<std::string>{"sound", "mkdir", "file", "event:Screenshot/Finished/"}));
}

TEST(ScreenshotFlowTest, FailedWriteIsAFailedScreenshotWithoutClipboardUploadOrFinished) {
    for (int storage : {5, 6, 2}) {
        SCOPED_TRACE(storage);
        FakeFlow fake;
        fake.storage = storage;
        fake.writeFails = true;
        fake.withUploader = true;
        ScreenshotFlow flow(fake.Actions());
        EXPECT_FALSE(flow.Process(false, kName, -1));
        EXPECT_EQ(fake.log, (std::vector<std::string>{"sound", "event:Screenshot/Failed/", "error:137"}));
        EXPECT_TRUE(fake.uploaded.empty());
    }
}

TEST(ScreenshotFlowTest, AnExceptionIsAFailedScreenshot) {
    FakeFlow fake;
    fake.storage = 1;
    fake.throwOnClipboard = true;
    ScreenshotFlow flow(fake.Actions());
    EXPECT_FALSE(flow.Process(false, kName, -1));
    EXPECT_EQ(fake.log, (std::vector<std::string>{"sound", "event:Screenshot/Failed/", "error:137"}));
}

TEST(ScreenshotFlowTest, RunningUploadSkipsOnlyTheUploadAndTellsTheUser) {
    struct Case {
        const char* name;
        int storage;
        std::vector<std::string> log;
        size_t files;
    };
    const Case cases[] = {
        {"6: kept locally, not uploaded", 6, {"error:400", "sound", "file", "event:Screenshot/Finished/"}, 1},
        {"3: picture still on the clipboard", 3, {"error:400", "sound", "clipboard", "event:Screenshot/Finished/"},
         0},
        {"2: nothing else to do", 2, {"error:400"}, 0},
        {"5: nothing to skip, nothing to say", 5, {"sound", "file", "clipboard", "event:Screenshot/Finished/"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFlow fake;
        fake.storage = c.storage;
        fake.uploadRunning = true;
        fake.withUploader = true;
        ScreenshotFlow flow(fake.Actions());
        flow.Process(false, kName, -1);
        EXPECT_EQ(fake.log, c.log);
        EXPECT_EQ(fake.written.size(), c.files);
        EXPECT_TRUE(fake.uploaded.empty());
    }
}

TEST(ScreenshotFlowTest, UploadThatDoesNotStartSendsNoFinishedEvent) {
    for (bool withUploader : {true, false}) {
        SCOPED_TRACE(withUploader);
        FakeFlow fake;
        fake.storage = 2;
        fake.withUploader = withUploader;
        fake.uploadStarts = false;
        ScreenshotFlow flow(fake.Actions());
        EXPECT_FALSE(flow.Process(false, kName, -1));
        for (const std::string& line : fake.log) EXPECT_NE(line, "event:Screenshot/Finished/");
    }
}

}  // namespace
