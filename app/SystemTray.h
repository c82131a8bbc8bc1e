#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "classlib/Wnd.h"

// The tray callback message; its lParam's low word is the mouse message.
constexpr UINT WM_APP_TRAY_NOTIFY = WM_APP + 10;

// The program's one icon in the notification area. It owns an invisible popup window
// (for "TaskbarCreated" and work-area changes); the icon's mouse notifications go to the
// parent given to Create. UI thread only.
class CSystemTray : public CWnd {
public:
    CSystemTray();
    ~CSystemTray() override;

    // Creates the window and adds the icon with `tooltip` (cut to 127 characters). False
    // when the shell refused the icon; the main dialog then skips the rest of its start.
    bool Create(CWnd* parent, const wchar_t* tooltip, HICON icon);
    // Deletes the icon; true when it is gone.
    bool RemoveIcon();
    // Removes the icon (unless removed) and adds it again.
    bool RecreateIcon();
    // Changes the icon shown (the recording icon and back).
    bool SetIcon(HICON icon);
    // A balloon: `text` cut to 255 characters, `title` (null: empty) to 63; `infoFlags`
    // NIIF_INFO (1) or NIIF_ERROR (3). False without balloon support or when the shell
    // refused it.
    bool ShowBalloon(const wchar_t* text, const wchar_t* title, DWORD infoFlags);

    bool IsHidden() const { return m_hidden; }
    bool IsRemoved() const { return m_removed; }
    bool IsShowPending() const { return m_showPending; }
    // The record as last handed to the shell.
    const NOTIFYICONDATAW& IconData() const { return m_iconData; }
    // Balloons shown so far, and the last one's text and title as handed to the shell.
    int BalloonCount() const { return m_balloonCount; }
    const std::wstring& LastBalloonText() const { return m_lastBalloonText; }
    const std::wstring& LastBalloonTitle() const { return m_lastBalloonTitle; }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // The registered "TaskbarCreated" message id.
    static UINT TaskbarCreatedMessage();

private:
    LRESULT OnTaskbarCreated();
    void ReAdd();

    NOTIFYICONDATAW m_iconData;
    bool m_enabled = false;
    bool m_hidden = true;
    bool m_removed = true;
    bool m_showPending = false;
    bool m_balloonsSupported = false;
    unsigned m_createFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    int m_balloonCount = 0;
    std::wstring m_lastBalloonText, m_lastBalloonTitle;
};
