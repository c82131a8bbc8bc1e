#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/MainDlg.h"
#include "resources/resource.h"

namespace {

// The program's own resources, read from the built executable beside this test.
class ResourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring path = self;
        path = path.substr(0, path.find_last_of(L'\\')) + L"\\..\\app\\brivane.exe";
        module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (!module) GTEST_SKIP() << "brivane.exe is not built beside the tests";
    }
    void TearDown() override {
        if (module) FreeLibrary(module);
    }
    HMODULE module = nullptr;
};

TEST_F(ResourcesTest, PngResourcesDecodeWithTheirSizes) {
    struct Case {
        unsigned id;
        uint32_t width, height;
    };
    const Case cases[] = {{196, 48, 24}, {200, 48, 24}, {201, 16, 16}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        PxImage image;
        ASSERT_TRUE(LoadPngResource(module, c.id, image));
        EXPECT_EQ(image.GetWidth(), c.width);
        EXPECT_EQ(image.GetHeight(), c.height);
    }
}

TEST_F(ResourcesTest, TrayMenuHasTheItemsInOrder) {
    HMENU menu = LoadMenuW(module, MAKEINTRESOURCEW(IDR_TRAY_MENU));
    ASSERT_NE(menu, nullptr);
    HMENU popup = GetSubMenu(menu, 0);
    ASSERT_NE(popup, nullptr);
    const UINT ids[] = {ID_TRAY_CAPTURE_REGION, ID_TRAY_CAPTURE_VIDEO, ID_TRAY_SEND_FILE, 0, ID_TRAY_MY_CAPTURES,
                        ID_TRAY_SILENT_MODE, ID_TRAY_SETTINGS, 0, ID_TRAY_EXIT};
    const wchar_t* texts[] = {L"Capture region", L"Capture video", L"Send file", L"", L"My captures",
                              L"Silent mode", L"Settings", L"", L"Exit"};
    ASSERT_EQ(GetMenuItemCount(popup), 9);
    for (int i = 0; i < 9; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(GetMenuItemID(popup, i), ids[i]);
        wchar_t text[64] = {};
        GetMenuStringW(popup, i, text, 64, MF_BYPOSITION);
        EXPECT_STREQ(text, texts[i]);
    }
    DestroyMenu(menu);
}

TEST_F(ResourcesTest, StringsAndIconsOfTheTrayAndNotifications) {
    struct Case {
        unsigned id;
        const wchar_t* text;
    };
    const Case cases[] = {
        {129, L"Brivane"},
        {137, L"Oops, I failed to create screenshot :("},
        {138, L"Oops, I failed to access to the screenshots folder :("},
        {139, L"Error"},
        {142, L"  General  "},
        {143, L"  Save settings  "},
        {144, L"  Editor"},
        {166, L"  Video  "},
        {182, L"Video file is saved"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        wchar_t text[512] = {};
        LoadStringW(module, c.id, text, 512);
        EXPECT_STREQ(text, c.text);
    }
    EXPECT_NE(LoadIconW(module, MAKEINTRESOURCEW(IDR_MAINFRAME)), nullptr);
    EXPECT_NE(LoadIconW(module, MAKEINTRESOURCEW(IDI_RECORDING)), nullptr);
    EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(IDD_CTAVIMORERF_DIALOG), MAKEINTRESOURCEW(5)), nullptr);
}

}  // namespace
