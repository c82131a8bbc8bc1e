#include "app/WindowSessionPoster_win.h"

#include "app/MainDlgMessages.h"

WindowSessionPoster::WindowSessionPoster(HWND main, HWND panel, EventSink postEvent, std::function<void()> ended)
    : m_main(main), m_panel(panel), m_postEvent(std::move(postEvent)), m_ended(std::move(ended)) {}

bool WindowSessionPoster::Post(SessionMessage message, int param) {
    switch (message) {
    case SessionMessage::CloseCaptureWindows: return PostMessageW(m_main, WM_APP_CLOSE_CAPTURE_WINDOWS, 0, 0);
    case SessionMessage::ShowProgress: return PostMessageW(m_main, WM_APP_SHOW_PROGRESS, param, 0);
    case SessionMessage::HideProgress: return PostMessageW(m_main, WM_APP_HIDE_PROGRESS, 0, 0);
    case SessionMessage::VideoRecorded: return PostMessageW(m_main, WM_APP_VIDEO_RECORDED, 1, param);
    case SessionMessage::VideoFailed: return PostMessageW(m_main, WM_APP_VIDEO_FAILED, param, 0);
    }
    return false;
}

bool WindowSessionPoster::PostProgress(int64_t limitMs, int64_t elapsedMs) {
    if (!m_panel) return false;
    RecordProgress* record = new RecordProgress{limitMs, elapsedMs};
    if (PostMessageW(m_panel, WM_APP_RECORD_PROGRESS, 0, reinterpret_cast<LPARAM>(record))) return true;
    delete record;
    return false;
}

void WindowSessionPoster::Event(const std::wstring& category, const std::wstring& action, const std::wstring& label) {
    if (m_postEvent) m_postEvent(category, action, label);
}

void WindowSessionPoster::Ended() {
    if (m_ended) m_ended();
}
