#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/MainDlg.h"
#include "foundation/Utf.h"
#include "resources/resource.h"
#include "tests/wine/app/ProgramModule.h"

namespace {

// The program's own resources, read from the built executable beside this test.
class ResourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        exePath = ProgramExePath();
        module = LoadProgramResources();
        if (!module) GTEST_SKIP() << "brivane.exe is not built beside the tests";
    }
    void TearDown() override {
        if (module) FreeLibrary(module);
    }
    HMODULE module = nullptr;
    std::wstring exePath;
};

TEST_F(ResourcesTest, PngResourcesDecodeWithTheirSizes) {
    struct Case {
        unsigned id;
        uint32_t width, height;
    };
    const Case cases[] = {{196, 48, 24}, {200, 48, 24}, {201, 16, 16},
                          // The recording control panel: background, buttons, bar and steps.
                          {214, 283, 40}, {215, 40, 40}, {216, 40, 40}, {217, 40, 40}, {219, 40, 40},
                          {220, 40, 40}, {222, 40, 40}, {223, 40, 40}, {224, 40, 40}, {229, 40, 40},
                          {230, 40, 40}, {225, 101, 40}, {226, 2, 40}, {227, 2, 40}, {228, 2, 40}};
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
        {181, L"Preparing video file"},
        {182, L"Video file is saved"},
        {184, L"Failed to record screen video. Please, check disk free space available."},
        {185, L"Error"},
        {186, L"Use the given hotkey {} to start/stop video recording when running programs/games in fullscreen mode."},
        {189, L"An error occurred while recording audio. Try to uncheck 'Record sound' in Brivane's settings."},
        {199, L"Screen Resolution has been changed. Video recording has stopped."},
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
    EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(IDD_VIDEO_CAPTURE_AREA), MAKEINTRESOURCEW(5)), nullptr);
    EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(IDD_VIDEO_CAPTURE_CONTROL), MAKEINTRESOURCEW(5)), nullptr);
}

}  // namespace

// The PE headers of a module loaded as a data file (its handle has low flag bits set).
const IMAGE_NT_HEADERS* PeHeaders(HMODULE module) {
    auto base = reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(module) & ~ULONG_PTR(3));
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    return reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
}

// The program is built for the architecture of this test, and its manifest, activated the
// way the loader does at start, brings common controls version 6 on that architecture.
TEST_F(ResourcesTest, ManifestGivesCommonControls6OnThisArchitecture) {
#ifdef _WIN64
    const WORD machine = IMAGE_FILE_MACHINE_AMD64;
#else
    const WORD machine = IMAGE_FILE_MACHINE_I386;
#endif
    EXPECT_EQ(PeHeaders(module)->FileHeader.Machine, machine);
    EXPECT_EQ(PeHeaders(module)->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    // curl.exe beside it is built for the same target.
    std::wstring curl = exePath.substr(0, exePath.find_last_of(L'\\')) + L"\\curl.exe";
    HMODULE curlModule = LoadLibraryExW(curl.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(curlModule, nullptr);
    EXPECT_EQ(PeHeaders(curlModule)->FileHeader.Machine, machine);
    FreeLibrary(curlModule);

    ACTCTXW request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = exePath.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE context = CreateActCtxW(&request);
    ASSERT_NE(context, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(ActivateActCtx(context, &cookie));
    // comctl32.dll is redirected to the side-by-side common controls 6.0 assembly (this
    // test process has the system folder's version loaded already, so the redirection
    // is read from the context rather than by loading the library again).
    ACTCTX_SECTION_KEYED_DATA found = {};
    found.cbSize = sizeof found;
    ASSERT_TRUE(FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION,
                                         L"comctl32.dll", &found))
        << "error " << GetLastError();
    DWORD index = found.ulAssemblyRosterIndex;
    SIZE_T size = 0;
    QueryActCtxW(0, context, &index, AssemblyDetailedInformationInActivationContext, nullptr, 0, &size);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> buffer(size);
    auto* assembly = reinterpret_cast<ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(buffer.data());
    ASSERT_TRUE(QueryActCtxW(0, context, &index, AssemblyDetailedInformationInActivationContext,
                             assembly, size, &size));
    std::wstring identity = assembly->lpAssemblyEncodedAssemblyIdentity;
    for (wchar_t& c : identity) c = towlower(c);
    EXPECT_NE(identity.find(L"microsoft.windows.common-controls"), std::wstring::npos) << WideToUtf8(identity);
    EXPECT_NE(identity.find(L"version=\"6.0."), std::wstring::npos) << WideToUtf8(identity);
    DeactivateActCtx(0, cookie);
    ReleaseActCtx(context);
}
