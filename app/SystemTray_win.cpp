#include "app/SystemTray.h"

#include "foundation/Log.h"
#include "foundation/Utf.h"

namespace {

constexpr size_t kMaxTooltip = 128;   // with the terminating null

}  // namespace

UINT CSystemTray::TaskbarCreatedMessage() {
    static const UINT id = RegisterWindowMessageW(L"TaskbarCreated");
    return id;
}

CSystemTray::CSystemTray() {
    ZeroMemory(&m_iconData, sizeof m_iconData);
    m_iconData.cbSize = sizeof m_iconData;
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExW(&version);
#pragma GCC diagnostic pop
    m_enabled = version.dwMajorVersion >= 4;
    m_balloonsSupported = version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion > 4;
    TaskbarCreatedMessage();
}

CSystemTray::~CSystemTray() {
    RemoveIcon();
    DestroyWindow();
}

bool CSystemTray::Create(CWnd* parent, const wchar_t* tooltip, HICON icon) {
    if (!m_enabled) return false;
    if (!m_hWnd && !CreateEx(0, RegisterWndClass(0), L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr)) {
        return false;
    }
    m_iconData.hWnd = parent && parent->m_hWnd ? parent->m_hWnd : m_hWnd;
    m_iconData.uID = 0;
    m_iconData.uFlags = m_createFlags;
    m_iconData.uCallbackMessage = WM_APP_TRAY_NOTIFY;
    m_iconData.hIcon = icon;
    lstrcpynW(m_iconData.szTip, tooltip ? tooltip : L"", static_cast<int>(kMaxTooltip));
    bool added = Shell_NotifyIconW(NIM_ADD, &m_iconData) != FALSE;
    m_hidden = m_removed = m_showPending = !added;
    if (!added) Log("CSystemTray::Create: Shell_NotifyIconW failed\n");
    return added;
}

bool CSystemTray::RemoveIcon() {
    m_showPending = false;
    if (!m_enabled || m_removed) return true;
    m_iconData.uFlags = 0;
    if (Shell_NotifyIconW(NIM_DELETE, &m_iconData)) {
        m_hidden = m_removed = true;
    }
    return m_removed;
}

bool CSystemTray::RecreateIcon() {
    if (!m_removed) RemoveIcon();
    if (!m_enabled) return false;
    m_iconData.uFlags = m_createFlags;
    if (Shell_NotifyIconW(NIM_ADD, &m_iconData)) {
        m_hidden = m_removed = false;
        return true;
    }
    m_showPending = true;
    return false;
}

bool CSystemTray::SetIcon(HICON icon) {
    if (!m_enabled) return false;
    m_iconData.hIcon = icon;
    m_iconData.uFlags = NIF_ICON;
    bool ok = m_removed || Shell_NotifyIconW(NIM_MODIFY, &m_iconData) != FALSE;
    m_iconData.uFlags = m_createFlags;
    return ok;
}

bool CSystemTray::ShowBalloon(const wchar_t* text, const wchar_t* title, DWORD infoFlags) {
    if (!m_balloonsSupported) return false;
    m_iconData.uFlags = NIF_INFO;
    lstrcpynW(m_iconData.szInfo, text ? text : L"", ARRAYSIZE(m_iconData.szInfo));
    lstrcpynW(m_iconData.szInfoTitle, title ? title : L"", ARRAYSIZE(m_iconData.szInfoTitle));
    m_iconData.dwInfoFlags = infoFlags;
    m_iconData.uTimeout = 0;
    bool shown = Shell_NotifyIconW(NIM_MODIFY, &m_iconData) != FALSE;
    if (shown) {
        m_balloonCount++;
        m_lastBalloonText = m_iconData.szInfo;
        m_lastBalloonTitle = m_iconData.szInfoTitle;
    }
    Log("CSystemTray::ShowBalloon: %s [%s] [%s]\n", shown ? "shown" : "failed",
        WideToUtf8(m_iconData.szInfoTitle).c_str(), WideToUtf8(m_iconData.szInfo).c_str());
    // Later modifications must not show the balloon again.
    m_iconData.szInfo[0] = L'\0';
    m_iconData.uFlags = m_createFlags;
    return shown;
}

void CSystemTray::ReAdd() {
    m_iconData.uFlags = m_createFlags;
    // A work-area change leaves the icon in place: the add then fails, the modify works.
    bool added = Shell_NotifyIconW(NIM_ADD, &m_iconData) != FALSE || Shell_NotifyIconW(NIM_MODIFY, &m_iconData) != FALSE;
    m_hidden = m_showPending = !added;
    if (added) m_removed = false;
}

LRESULT CSystemTray::OnTaskbarCreated() {
    // A shown icon comes back; so does one whose add failed earlier (still owed). One
    // removed on purpose stays away: RemoveIcon cleared the debt.
    bool owed = m_showPending;
    m_showPending = true;
    if (m_enabled && (!m_hidden || owed)) ReAdd();
    return 0;
}

LRESULT CSystemTray::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == TaskbarCreatedMessage()) return OnTaskbarCreated();
    if (msg == WM_SETTINGCHANGE) {
        LRESULT result = Default(msg, wParam, lParam);
        if (wParam == SPI_SETWORKAREA && m_enabled && !m_hidden) ReAdd();
        return result;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
}
