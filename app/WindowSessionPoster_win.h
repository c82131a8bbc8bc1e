#pragma once
// Windows only: the recording thread's messages to the main window and the panel.
#include <windows.h>

#include <functional>
#include <string>

#include "app/RecordVideoSession.h"

// Posts the recording thread's messages: the session's messages to the main window,
// the progress records to the recording control panel. Called on the recording thread.
class WindowSessionPoster : public ISessionPoster {
public:
    using EventSink = std::function<void(const std::wstring&, const std::wstring&, const std::wstring&)>;
    // `panel` may be null (no control panel); `ended` runs when the thread is about to end.
    WindowSessionPoster(HWND main, HWND panel, EventSink postEvent, std::function<void()> ended);

    bool Post(SessionMessage message, int param) override;
    bool PostProgress(int64_t limitMs, int64_t elapsedMs) override;
    void Event(const std::wstring& category, const std::wstring& action, const std::wstring& label) override;
    void Ended() override;

private:
    HWND m_main;    // not owned
    HWND m_panel;   // not owned
    EventSink m_postEvent;
    std::function<void()> m_ended;
};
