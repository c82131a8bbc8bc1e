// Test helper: records an area of its own animating window through the core's recorder
// and prints the out-values. The window's top half shows one colour per second of
// recording (palette index = whole seconds since the recording started), its bottom
// half is black, so decoded frames tell the time and whether they are upright.
//   recorder_probe OUT.mp4 SECONDS [--mic] [--sound] [--rect L,T,R,B] [--max W,H]
//       [--fps N] [--pause AT,FOR] [--second] [--reinit]
// Prints "second: ..." for a second request made during the recording (--second),
// "reinit: N" for a CvxReinit tried during it (--reinit), then one line
// "result: finished=.. error=.. hresult=0x.. recordedMs=.. measuredFps=.. size=WxH cpu=.. ..."
// and "colours: r,g,b;..." (the palette). The window sits at 100,100, 320x240.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "core/Cvx.h"
#include "core/video/Recorder.h"

namespace {

const COLORREF kPalette[] = {RGB(230, 40, 40),  RGB(40, 200, 60),  RGB(40, 70, 230), RGB(240, 220, 30),
                             RGB(30, 210, 220), RGB(220, 40, 210), RGB(250, 140, 20), RGB(240, 240, 240)};
constexpr int kColours = sizeof(kPalette) / sizeof(kPalette[0]);
std::atomic<int> g_colour{0};

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT r;
        GetClientRect(window, &r);
        RECT top = {0, 0, r.right, r.bottom / 2}, bottom = {0, r.bottom / 2, r.right, r.bottom};
        HBRUSH brush = CreateSolidBrush(kPalette[g_colour.load() % kColours]);
        FillRect(dc, &top, brush);
        DeleteObject(brush);
        FillRect(dc, &bottom, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        EndPaint(window, &ps);
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    default: return DefWindowProcW(window, message, w, l);
    }
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool ParsePair(const wchar_t* text, int& a, int& b) {
    return swscanf(text, L"%d,%d", &a, &b) == 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    const wchar_t* out = argv[1];
    const double seconds = _wtof(argv[2]);
    bool mic = false, sound = false, second = false, reinit = false;
    RECT rect = {100, 100, 420, 340};
    int maxW = 0, maxH = 0, fps = 0, pauseAt = -1, pauseFor = 0;
    for (int i = 3; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a == L"--mic") mic = true;
        else if (a == L"--sound") sound = true;
        else if (a == L"--second") second = true;
        else if (a == L"--reinit") reinit = true;
        else if (a == L"--rect" && i + 1 < argc) {
            if (swscanf(argv[++i], L"%ld,%ld,%ld,%ld", &rect.left, &rect.top, &rect.right, &rect.bottom) != 4) return 2;
        } else if (a == L"--max" && i + 1 < argc) {
            if (!ParsePair(argv[++i], maxW, maxH)) return 2;
        } else if (a == L"--fps" && i + 1 < argc) {
            fps = _wtoi(argv[++i]);
        } else if (a == L"--pause" && i + 1 < argc) {
            if (!ParsePair(argv[++i], pauseAt, pauseFor)) return 2;
        } else {
            return 2;
        }
    }
    if (!CvxInit()) return 3;

    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"RecorderProbeWindow";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"recorder probe", WS_POPUP | WS_VISIBLE, 100,
                                  100, 320, 240, nullptr, nullptr, wc.hInstance, nullptr);
    if (!window) return 1;
    SetForegroundWindow(window);
    UpdateWindow(window);
    for (int i = 0; i < 20; ++i) {
        Pump();
        Sleep(10);
    }

    std::atomic<bool> stop{false}, pause{false}, cancel{false}, finished{false};
    std::atomic<int> measuredFps{0}, errorCode{-1};
    std::atomic<double> recordedMs{0.0};
    std::atomic<HRESULT> errorHr{0};
    int outputSize[2] = {0, 0};
    char cpuInfo[kCpuInfoSize] = {};
    char* errorText = reinterpret_cast<char*>(1);
    if (fps > 0) {
        // The maximum frame rate goes through the request itself, as the front end's
        // benchmark does.
        video_record_params_t request;
        request.outputPath = out;
        request.recordSound = sound;
        request.recordMicrophone = mic;
        request.stopFlag = &stop;
        request.pauseFlag = &pause;
        request.cancelFlag = &cancel;
        request.maxWidth = maxW;
        request.maxHeight = maxH;
        request.maxFps = fps;
        request.measuredFps = &measuredFps;
        request.recordedMs = &recordedMs;
        request.finishedFlag = &finished;
        request.captureRect = ToCvxRect(rect);
        request.cpuInfo = cpuInfo;
        request.outputSize = outputSize;
        request.errorCode = &errorCode;
        request.errorHResult = &errorHr;
        request.errorText = &errorText;
        StartRecording(request, CreateWindowsRecorderPlatform());
    } else {
        CvxRecordVideoAsync(out, false, maxW, maxH, sound, mic, &stop, &pause, &cancel, &finished, &measuredFps,
                            &recordedMs, outputSize, cpuInfo, &errorCode, &errorHr, &errorText, rect);
    }

    const DWORD start = GetTickCount();
    DWORD recordStart = 0;   // when the recorded time first moved
    DWORD stoppedAt = 0;
    bool secondDone = false, reinitDone = false, paused = false, resumed = false;
    while (!finished.load()) {
        Pump();
        Sleep(5);
        const DWORD now = GetTickCount();
        if (!recordStart && recordedMs.load() > 0) recordStart = now;
        if (recordStart) {
            // The colour follows the recorded time, so pauses do not shift it.
            const int colour = int(recordedMs.load() / 1000.0);
            if (colour != g_colour.load()) {
                g_colour = colour;
                InvalidateRect(window, nullptr, FALSE);
            }
        }
        const double elapsed = recordStart ? (now - recordStart) / 1000.0 : 0.0;
        if (second && !secondDone && elapsed >= 1.0) {
            secondDone = true;
            std::atomic<bool> s2{false}, p2{false}, c2{false}, f2{false};
            std::atomic<int> fps2{0}, err2{-1};
            std::atomic<double> ms2{0.0};
            std::atomic<HRESULT> hr2{0};
            CvxRecordVideoAsync(L"second.mp4", false, 0, 0, false, false, &s2, &p2, &c2, &f2, &fps2, &ms2, nullptr,
                                nullptr, &err2, &hr2, nullptr, rect);
            std::printf("second: finished=%d error=%d\n", int(f2.load()), err2.load());
            std::fflush(stdout);
        }
        if (reinit && !reinitDone && elapsed >= 1.5) {
            reinitDone = true;
            std::printf("reinit: %d\n", int(CvxReinit()));
            std::fflush(stdout);
        }
        if (pauseAt >= 0 && !paused && elapsed >= pauseAt) {
            paused = true;
            pause = true;
        }
        if (paused && !resumed && elapsed >= pauseAt + pauseFor) {
            resumed = true;
            pause = false;
        }
        if (!stoppedAt && (elapsed >= seconds || (!recordStart && now - start > 20000))) {
            stop = true;
            stoppedAt = now;
        }
        if (now - start > 60000) break;
    }
    std::printf("result: finished=%d error=%d hresult=0x%lx recordedMs=%.0f measuredFps=%d size=%dx%d cpu=%s "
                "errorText=%s active=%d stopToFinishMs=%lu\n",
                int(finished.load()), errorCode.load(), static_cast<unsigned long>(errorHr.load()), recordedMs.load(),
                measuredFps.load(), outputSize[0], outputSize[1], cpuInfo, errorText ? "set" : "null",
                int(CvxIsRecordingActive()), stoppedAt ? static_cast<unsigned long>(GetTickCount() - stoppedAt) : 0ul);
    std::printf("colours:");
    for (int i = 0; i < kColours; ++i)
        std::printf("%s%d,%d,%d", i ? ";" : " ", GetRValue(kPalette[i]), GetGValue(kPalette[i]), GetBValue(kPalette[i]));
    std::printf("\n");
    std::fflush(stdout);
    DestroyWindow(window);
    return finished.load() ? 0 : 4;
}
