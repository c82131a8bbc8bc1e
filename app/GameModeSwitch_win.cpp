#include "app/GameModeSwitch.h"

#include "app/MainDlg.h"
#include "app/SettingsWindowLogic.h"
#include "settings/SettingsManager.h"

GameModeSwitch::GameModeSwitch() : m_current(&m_on) {
    LoadPngResource(nullptr, 196, m_on);
    LoadPngResource(nullptr, 200, m_off);
}

void GameModeSwitch::Draw(HDC dc, int x, int y) {
    m_x = x;
    m_y = y;
    if (m_current->IsValid()) m_current->Draw(dc, x, y);
}

bool GameModeSwitch::Hit(int x, int y) const {
    return SwitchHit(x, y, m_x, m_y, static_cast<int>(m_current->GetWidth()), static_cast<int>(m_current->GetHeight()));
}

void ToggleSilentMode(bool fromTray,
                      const std::function<void(const std::wstring& category, const std::wstring& action,
                                               const std::wstring& label)>& postEvent) {
    SettingsManager& settings = SettingsManager::Instance();
    bool silent = settings.GetSilentMode();
    std::wstring action = silent ? L"Unset Game Mode" : L"Set Game Mode";
    postEvent(fromTray ? L"Application" : L"Settings", fromTray ? action + L" in Tray" : action, L"");
    settings.SetSilentMode(!silent);
}
