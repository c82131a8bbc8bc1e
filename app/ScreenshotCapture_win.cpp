#include "app/ScreenshotCapture.h"

#include <mmsystem.h>
#include <shlobj.h>

#include <ctime>
#include <memory>
#include <vector>

#include "app/ScreenImage.h"
#include "app/ScreenshotNames.h"
#include "foundation/ShotTiming.h"
#include "app/Worker.h"
#include "core/Cvx.h"
#include "foundation/Folders.h"
#include "foundation/Log.h"
#include "foundation/Random.h"
#include "foundation/StringTable.h"
#include "foundation/Utf.h"
#include "settings/SettingsManager.h"

namespace {

constexpr unsigned kScreenshotNameString = 130;
constexpr unsigned kVideoNameString = 177;
constexpr int kCaptureSoundResource = 146;
constexpr DWORD kDwmExtendedFrameBounds = 9;   // DWMWA_EXTENDED_FRAME_BOUNDS

using DwmGetWindowAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, void*, DWORD);
using PlaySoundFn = BOOL(WINAPI*)(LPCWSTR, HMODULE, DWORD);

// dwmapi.dll is missing on old systems and winmm is needed only for the sound: both
// are looked up at run time, once. The modules stay loaded for the process.
DwmGetWindowAttributeFn DwmGetWindowAttributeEntry() {
    static DwmGetWindowAttributeFn entry = [] {
        HMODULE dwm = LoadLibraryW(L"dwmapi.dll");
        return dwm ? reinterpret_cast<DwmGetWindowAttributeFn>(
                         reinterpret_cast<void*>(GetProcAddress(dwm, "DwmGetWindowAttribute")))
                   : nullptr;
    }();
    return entry;
}

PlaySoundFn PlaySoundEntry() {
    static PlaySoundFn entry = [] {
        HMODULE winmm = LoadLibraryW(L"winmm.dll");
        return winmm ? reinterpret_cast<PlaySoundFn>(reinterpret_cast<void*>(GetProcAddress(winmm, "PlaySoundW")))
                     : nullptr;
    }();
    return entry;
}

CvxRect ToRect(const RECT& r) { return CvxRect{r.left, r.top, r.right, r.bottom}; }

std::wstring FormatNow(unsigned stringId) {
    std::time_t now = std::time(nullptr);
    std::tm local = {};
    localtime_s(&local, &now);
    return FormatLocalTime(StringTable::Instance().GetString(stringId), local);
}

// Plays the sound to its end on the worker thread.
class CaptureSoundWorker : public IWorker {
public:
    void Run() override {
        PlaySoundFn play = PlaySoundEntry();
        if (!play) return;
        // Fails harmlessly on a machine without a sound device.
        play(MAKEINTRESOURCEW(kCaptureSoundResource), GetModuleHandleW(nullptr), SND_RESOURCE);
    }
};

}  // namespace

bool CaptureScreen(PxImage& image, bool withCursor, RECT& area) {
    image.Destroy();
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    area = RECT{left, top, left + width, top + height};
    if (width <= 0 || height <= 0) {
        Log("CaptureScreen: no virtual screen\n");
        return false;
    }
    uint64_t time = 0;
    const std::vector<uint8_t>& buffer = CvxGetScreenshot(withCursor, time, area);
    if (buffer.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 4) {
        Log("CaptureScreen: the capture gave %u bytes for %dx%d\n", static_cast<unsigned>(buffer.size()), width,
            height);
        return false;
    }
    // GDI leaves the fourth byte 0: as alpha it would make the PNG fully transparent, so
    // the image has none.
    if (!ScreenImageFromCapture(buffer.data(), static_cast<uint32_t>(width), static_cast<uint32_t>(height), image)) {
        Log("CaptureScreen: no image: %s\n", image.GetLastError());
        return false;
    }
    ShotTiming::Mark("image");
    return true;
}

bool CropToWindow(const PxImage& screen, const RECT& area, HWND window, PxImage& cropped) {
    WindowFrame frame;
    RECT rect = {};
    if (window && GetWindowRect(window, &rect)) {
        frame.haveWindowRect = true;
        frame.windowRect = ToRect(rect);
        // The visible frame without the invisible resize borders; not implemented under
        // every system (Wine answers E_NOTIMPL), and then the window rectangle stays.
        RECT visible = {};
        DwmGetWindowAttributeFn dwm = DwmGetWindowAttributeEntry();
        if (dwm && SUCCEEDED(dwm(window, kDwmExtendedFrameBounds, &visible, sizeof(visible)))) {
            frame.haveVisibleFrame = true;
            frame.visibleFrame = ToRect(visible);
        }
    }
    CvxRect crop;
    if (!ActiveWindowCropRect(frame, ToRect(area), crop)) {
        Log("CropToWindow: window %p is not on the screen\n", static_cast<void*>(window));
        return false;
    }
    PxImage copy(screen);
    RECT cropRect = {crop.left, crop.top, crop.right, crop.bottom};
    if (!copy.Crop(cropRect, &cropped)) {
        Log("CropToWindow: crop failed: %s\n", copy.GetLastError());
        return false;
    }
    return true;
}

bool WriteScreenshotImage(PxImage& image, const std::wstring& path, uint32_t formatCode, int jpegQuality) {
    if (jpegQuality < 1) jpegQuality = 1;
    if (jpegQuality > 100) jpegQuality = 100;
    image.SetJpegQuality(static_cast<uint8_t>(jpegQuality));
    if (!image.Save(path.c_str(), formatCode)) {
        Log("WriteScreenshotImage: %s: %s\n", WideToUtf8(path).c_str(), image.GetLastError());
        return false;
    }
    return true;
}

bool EnsureSaveFolder(const std::wstring& folder) {
    if (folder.empty()) return false;
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
    int result = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    if (result != ERROR_SUCCESS) {
        Log("SHCreateDirectoryExW %s: %d\n", WideToUtf8(folder).c_str(), result);
        return false;
    }
    return true;
}

bool PutImageOnClipboard(HWND owner, const PxImage& image) {
    HGLOBAL block = image.CopyToHandle();   // CF_DIB: the packed DIB in a movable block
    if (!block) {
        Log("PutImageOnClipboard: no picture to copy\n");
        return false;
    }
    // Another program may hold the clipboard for a moment.
    bool opened = false;
    for (int attempt = 0; attempt < 5 && !(opened = OpenClipboard(owner) != FALSE); ++attempt) Sleep(20);
    bool set = false;
    if (opened) {
        set = EmptyClipboard() && SetClipboardData(CF_DIB, block) != nullptr;
        CloseClipboard();
    }
    if (!set) {
        Log("PutImageOnClipboard: the clipboard is busy (%lu)\n", GetLastError());
        GlobalFree(block);   // still ours: the clipboard did not take it
        return false;
    }
    return true;   // the clipboard owns the block now
}

void PlayScreenshotSound() {
    SettingsManager& settings = SettingsManager::Instance();
    if (settings.GetSilentMode() || !settings.GetNeedPlaySound()) return;
    if (!StartWorkerThread(std::make_unique<CaptureSoundWorker>())) Log("PlayScreenshotSound: no worker thread\n");
}

std::wstring MakeDefaultScreenshotName() { return FormatNow(kScreenshotNameString); }

std::wstring MakeVideoFileName() { return FormatNow(kVideoNameString); }

std::wstring GetScreenshotExtension() {
    return ScreenshotExtensionForType(SettingsManager::Instance().GetImageTypeId());
}

std::wstring MakeTempFilePath() {
    wchar_t folder[4096] = {};
    DWORD length = GetTempPathW(4096, folder);
    std::wstring path(folder, length < 4096 ? length : 0);
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    return path + RandomAlnumString(16);
}
