// The main dialog driven by a script, for the Wine tests of the shell: a test
// environment that records what the dialog did, a small main template, and steps run on
// a 20 ms tick (also while a nested modal loop, such as an upload's window, runs).
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/MainDlg.h"
#include "app/UploadHandler.h"
#include "resources/resource.h"
#include "tests/wine/classlib/DialogTemplate.h"

namespace {

constexpr UINT_PTR kStepTimer = 100;

// What the dialog did through its environment.
struct Recorded {
    std::vector<std::wstring> events;
    std::vector<unsigned> exits;
    std::vector<std::string> coreCalls;
    std::set<std::wstring> existing;
    std::vector<std::wstring> emptied, pruned, urls;
    int monitors = 1;
    MonitorSizeMap monitorMap = {{L"\\\\.\\DISPLAY1", {1280, 1024}}};
    std::wstring chosenFile;
    // The region editor stand-in: runs counted, the requests kept; null answers cancel.
    std::vector<RegionEditorRequest> editorRuns;
    std::function<RegionEditorOutcome(const RegionEditorRequest&)> editor;
    // The recordings asked of the fake recorder; its error code for the next ones.
    std::vector<RecorderRequest> recordings;
    int recorderError = 0;
    // Recorders running at once, and the most seen.
    std::atomic<int> liveRecorders{0}, mostLiveRecorders{0};
    std::vector<std::wstring> discarded;
};

// A recorder on its own thread that counts time until stopped or cancelled.
class FakeVideoRecorder : public IVideoRecorder {
public:
    explicit FakeVideoRecorder(Recorded& r) : m_r(r) {}
    ~FakeVideoRecorder() override {
        if (m_worker.joinable()) m_worker.join();
    }
    AudioDeviceStatus CheckAudioDevices() override { return {true, true, true, ""}; }
    void RecordAsync(const RecorderRequest& request, RecorderResults& out) override {
        m_r.recordings.push_back(request);
        int error = m_r.recorderError;
        int live = ++m_r.liveRecorders;
        if (live > m_r.mostLiveRecorders) m_r.mostLiveRecorders = live;
        Recorded* r = &m_r;
        m_worker = std::thread([request, &out, error, r] {
            while (!request.control->stop && !request.control->cancel) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                if (!request.control->pause) out.recordedMs = out.recordedMs + 2.0;
            }
            out.errorCode = error;
            --r->liveRecorders;
            out.finished = true;
        });
    }
    void FreeErrorText(char* text) override { free(text); }
    void DiscardOutput(const std::wstring& path) override { m_r.discarded.push_back(path); }

private:
    Recorded& m_r;
    std::thread m_worker;
};


inline MainDlgEnvironment TestEnvironment(Recorded& r) {
    MainDlgEnvironment env;
    env.postEvent = [&r](const std::wstring& c, const std::wstring& a, const std::wstring& l) {
        r.events.push_back(c + L"|" + a + L"|" + l);
    };
    env.exitProcess = [&r](unsigned code) { r.exits.push_back(code); };
    env.countMonitors = [&r] { return r.monitors; };
    env.monitors = [&r] { return r.monitorMap; };
    env.reinitCore = [&r] { r.coreCalls.push_back("reinit"); };
    env.reopenLog = [&r] { r.coreCalls.push_back("reopen log"); };
    env.fileExists = [&r](const std::wstring& path) { return r.existing.count(path) > 0; };
    env.openUrl = [&r](const std::wstring& url) { r.urls.push_back(url); };
    env.chooseFile = [&r](HWND) { return r.chosenFile; };
    env.commandLine = L"\"C:\\Program Files\\Brivane\\brivane.exe\"";
    env.userTempFolder = L"C:\\users\\me\\Temp\\";
    env.localFolder = L"C:\\users\\me\\AppData\\Local\\brivane";
    env.appTmpFolder = L"C:\\ProgramData\\brivane\\tmp";
    env.logFolder = L"C:\\users\\me\\AppData\\Local\\brivane\\log";
    env.startEmptyTmpFolder = [&r](const std::wstring& f) { r.emptied.push_back(f); };
    env.startDeleteOldLogs = [&r](const std::wstring& f) { r.pruned.push_back(f); };
    env.makeVideoRecorder = [&r] { return std::unique_ptr<IVideoRecorder>(new FakeVideoRecorder(r)); };
    env.runRegionEditor = [&r](const RegionEditorRequest& request) {
        r.editorRuns.push_back(request);
        return r.editor ? r.editor(request) : RegionEditorOutcome();
    };
    return env;
}

inline DialogTemplate MainTemplate() {
    DialogTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU, 300, 200, L"main");
    t.Control(0x0082, IDC_GAME_MODE_ON, 0, 100, 10, 20, 10, L"On");
    t.Control(0x0082, IDC_GAME_MODE_OFF, 0, 100, 10, 20, 10, L"Off");
    t.Control(0x0080, IDC_GAME_MODE_HELP, BS_PUSHBUTTON, 140, 8, 40, 20, L"?");
    t.Control(L"SysTabControl32", IDC_TAB_PAGES, 0, 6, 34, 280, 120, L"");
    t.Control(0x0080, IDOK, BS_DEFPUSHBUTTON, 180, 170, 50, 14, L"OK");
    t.Control(0x0080, IDCANCEL, BS_PUSHBUTTON, 240, 170, 50, 14, L"Cancel");
    return t;
}

// The main dialog with a script: each step runs on a 20 ms tick until it returns true.
class TestMainDlg : public CtavimorerfDlg {
public:
    using Step = std::function<bool(TestMainDlg&)>;
    TestMainDlg(const DLGTEMPLATE* t, MainDlgEnvironment env) : CtavimorerfDlg(t, std::move(env)) {
        Uploads().SetStarter([this](const std::wstring& serverName, const std::wstring& path, int type,
                                    const std::wstring& extension, const std::wstring& displayName,
                                    std::shared_ptr<UploadHandler> handler) {
            if (startUpload) return startUpload(std::move(handler));
            return UploadCenter::SendToServer(serverName, path, type, extension, displayName, std::move(handler));
        });
    }

    std::vector<Step> steps;
    std::vector<UINT> privateMessages;
    std::vector<std::wstring> uploadPaths;
    // When set, replaces the sending of an upload: the test drives the handler itself.
    std::function<bool(std::shared_ptr<UploadHandler>)> startUpload;

    void Finish() { EndDialog(1); }
    LRESULT Post(UINT msg, WPARAM w = 0, LPARAM l = 0) { return PostMessageW(m_hWnd, msg, w, l); }

    // Runs the dialog; fails the test when the script takes longer than `timeoutMs`.
    void Run(DWORD timeoutMs = 10000) {
        m_deadline = GetTickCount() + timeoutMs;
        DoModal();
    }

protected:
    BOOL OnInitDialog() override {
        BOOL result = CtavimorerfDlg::OnInitDialog();
        SetTimer(kStepTimer, 20);
        return result;
    }
    void OnTimer(UINT_PTR id) override {
        if (id != kStepTimer) return CtavimorerfDlg::OnTimer(id);
        if (static_cast<int>(GetTickCount() - m_deadline) > 0) {
            ADD_FAILURE() << "script timed out at step " << m_next;
            Finish();
            return;
        }
        if (m_next >= steps.size()) {
            Finish();
            return;
        }
        if (steps[m_next](*this)) m_next++;
    }
    LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
        if (msg >= 0x404 && msg <= 0x426) {
            privateMessages.push_back(msg);
            if (msg == WM_APP_UPLOAD_FILE && l) uploadPaths.push_back(*reinterpret_cast<std::wstring*>(l));
            // These scripts check where the capture requests are routed, not the capture
            // flow itself (its own tests take real screenshots).
            if (msg == WM_APP_FULL_SCREENSHOT || msg == WM_APP_WINDOW_SCREENSHOT) return 0;
        }
        return CtavimorerfDlg::WindowProc(msg, w, l);
    }

private:
    size_t m_next = 0;
    DWORD m_deadline = 0;
};

// A step that posts one message to the dialog.
inline TestMainDlg::Step PostStep(UINT msg, WPARAM w = 0, LPARAM l = 0) {
    return [=](TestMainDlg& d) {
        d.Post(msg, w, l);
        return true;
    };
}

// A step that waits `ms` from its first call.
inline TestMainDlg::Step Wait(DWORD ms) {
    struct State {
        bool started = false;
        DWORD start = 0;
    };
    auto state = std::make_shared<State>();
    return [state, ms](TestMainDlg&) {
        if (!state->started) {
            state->started = true;
            state->start = GetTickCount();
        }
        return GetTickCount() - state->start >= ms;
    };
}

// The visible message box of this thread (a dialog with an OK button), other than `except`.
struct MessageBoxSearch {
    HWND except;
    HWND found;
};

inline BOOL CALLBACK FindMessageBoxStep(HWND w, LPARAM l) {
    auto* s = reinterpret_cast<MessageBoxSearch*>(l);
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    if (w != s->except && IsWindowVisible(w) && lstrcmpW(name, L"#32770") == 0 && GetDlgItem(w, IDOK) &&
        !GetDlgItem(w, IDCANCEL)) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

inline HWND FindMessageBox(HWND except) {
    MessageBoxSearch search = {except, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindMessageBoxStep, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

inline bool Contains(const std::vector<UINT>& v, UINT m) {
    for (UINT x : v) {
        if (x == m) return true;
    }
    return false;
}

}  // namespace
