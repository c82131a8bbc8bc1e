#include <gtest/gtest.h>

#include "app/CaptureLabels.h"
#include "app/CommandLine.h"

namespace {

struct Case {
    const wchar_t* line;
    LaunchAction first;
    LaunchAction handedOver;
    const wchar_t* path;   // the upload path when the action is UploadFile
};

}  // namespace

TEST(CommandLine, ArgumentsSkipTheProgramPath) {
    EXPECT_EQ(CommandLineArguments(L"\"C:\\Program Files\\Brivane\\brivane.exe\" -f"), L" -f");
    EXPECT_EQ(CommandLineArguments(L"C:\\brivane\\brivane.exe -r x"), L" -r x");
    EXPECT_EQ(CommandLineArguments(L"brivane.exe"), L"");
    EXPECT_EQ(CommandLineArguments(L"\"C:\\a b\\brivane.exe\""), L"");
    EXPECT_EQ(CommandLineArguments(L"\"unterminated -f"), L"");
    EXPECT_EQ(CommandLineArguments(L""), L"");
}

TEST(CommandLine, OptionsAndPrecedence) {
    const LaunchAction N = LaunchAction::None;
    const Case kCases[] = {
        {L"brivane.exe", N, N, L""},
        {L"brivane.exe -r", LaunchAction::RegionScreenshot, LaunchAction::RegionScreenshot, L""},
        {L"\"C:\\Program Files\\Brivane\\brivane.exe\" -f", LaunchAction::FullScreenshot,
         LaunchAction::FullScreenshot, L""},
        {L"brivane.exe -v", LaunchAction::MakeVideo, LaunchAction::MakeVideo, L""},
        {L"brivane.exe -s", LaunchAction::QuietStart, N, L""},
        {L"brivane.exe -u", LaunchAction::Quit, LaunchAction::Quit, L""},
        // -r comes first whatever the order on the line.
        {L"brivane.exe -u -v -r", LaunchAction::RegionScreenshot, LaunchAction::RegionScreenshot, L""},
        {L"brivane.exe -s -u", LaunchAction::QuietStart, LaunchAction::Quit, L""},
        // Options inside the program path are not options.
        {L"C:\\Users\\jean-robert\\brivane\\brivane.exe", N, N, L""},
        {L"\"C:\\Users\\anne-sophie\\my uploads\\brivane.exe\"", N, N, L""},
        {L"\"C:\\Users\\anne-sophie\\upload\\brivane.exe\" -f", LaunchAction::FullScreenshot,
         LaunchAction::FullScreenshot, L""},
        // Nor inside an upload path.
        {L"brivane.exe upload \"C:\\x-ray\\a-f.png\"", LaunchAction::UploadFile,
         LaunchAction::UploadFile, L"C:\\x-ray\\a-f.png"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.line)));
        LaunchCommand first = ParseFirstInstanceCommandLine(c.line);
        LaunchCommand handed = ParseHandedOverCommandLine(c.line);
        EXPECT_EQ(first.action, c.first);
        EXPECT_EQ(handed.action, c.handedOver);
        if (c.first == LaunchAction::UploadFile) EXPECT_EQ(first.uploadPath, c.path);
        if (c.handedOver == LaunchAction::UploadFile) EXPECT_EQ(handed.uploadPath, c.path);
    }
}

TEST(CommandLine, UploadPaths) {
    struct PathCase { const wchar_t* line; const wchar_t* path; };
    const PathCase kCases[] = {
        {L"brivane.exe upload \"C:\\My Files\\shot 1.png\"", L"C:\\My Files\\shot 1.png"},
        {L"brivane.exe upload C:\\shot.png", L"C:\\shot.png"},           // not quoted: kept whole
        {L"brivane.exe upload C:\\My Files\\a.png  ", L"C:\\My Files\\a.png"},
        {L"brivane.exe upload \"C:\\a.png\"\r\n", L"C:\\a.png"},
        {L"brivane.exe upload \"\u00E9t\u00E9.png\"", L"\u00E9t\u00E9.png"},
    };
    for (const PathCase& c : kCases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.line)));
        LaunchCommand first = ParseFirstInstanceCommandLine(c.line);
        ASSERT_EQ(first.action, LaunchAction::UploadFile);
        EXPECT_EQ(first.uploadPath, c.path);
        EXPECT_EQ(ParseHandedOverCommandLine(c.line).uploadPath, c.path);
    }
    // A line that ends at "upload" (or has only blanks or empty quotes after it) asks
    // for nothing.
    for (const wchar_t* line : {L"brivane.exe upload", L"brivane.exe upload   ", L"brivane.exe upload \"\""}) {
        EXPECT_EQ(ParseFirstInstanceCommandLine(line).action, LaunchAction::None);
        EXPECT_EQ(ParseHandedOverCommandLine(line).action, LaunchAction::None);
    }
}

TEST(CommandLine, LabelsAndEvents) {
    struct LabelCase { int storage; const wchar_t* label; };
    const LabelCase kLabels[] = {{2, L"Server"}, {6, L"Server + Local"}, {1, L"Clipboard"},
                                 {5, L"Clipboard + Local"}, {7, L"Server + Local"}, {4, L"Clipboard + Local"}};
    for (const LabelCase& c : kLabels) EXPECT_EQ(StorageLabel(c.storage), c.label) << c.storage;
    EXPECT_EQ(VideoLabel(0), L"Server");
    EXPECT_EQ(VideoLabel(1), L"Local");

    LaunchEvent e;
    ASSERT_TRUE(LaunchCommandEvent({LaunchAction::RegionScreenshot, L""}, 6, 0, e));
    EXPECT_EQ(e.category, L"Screenshot.Region");
    EXPECT_EQ(e.action, L"Launch on Cmd");
    EXPECT_EQ(e.label, L"Server + Local");
    ASSERT_TRUE(LaunchCommandEvent({LaunchAction::FullScreenshot, L""}, 1, 0, e));
    EXPECT_EQ(e.category, L"Screenshot.Fullscreen");
    EXPECT_EQ(e.label, L"Clipboard");
    ASSERT_TRUE(LaunchCommandEvent({LaunchAction::MakeVideo, L""}, 2, 1, e));
    EXPECT_EQ(e.category, L"Video");
    EXPECT_EQ(e.label, L"Local");
    ASSERT_TRUE(LaunchCommandEvent({LaunchAction::UploadFile, L"x"}, 2, 0, e));
    EXPECT_EQ(e.category, L"File");
    EXPECT_EQ(e.label, L"");
    EXPECT_FALSE(LaunchCommandEvent({LaunchAction::QuietStart, L""}, 2, 0, e));
    EXPECT_FALSE(LaunchCommandEvent({LaunchAction::Quit, L""}, 2, 0, e));
    EXPECT_FALSE(LaunchCommandEvent({LaunchAction::None, L""}, 2, 0, e));
}
