#pragma once
// Windows only: the four pages of the settings window.
#include <windows.h>

#include <functional>
#include <memory>

#include "app/SettingsPageEnvironment.h"

class CDialog;
class CTabSavePropsDlg;
class CTabVideoDlg;
class CWnd;

// The settings page `index` (0 General, 1 Save, 2 Editor, 3 Video), not yet created,
// with the environment that the main dialog gives the pages.
std::unique_ptr<CDialog> MakeSettingsPage(int index, const SettingsPageEnvironment& environment);

// The settings window's pages, one list: General, Save, Editor and Video, children of
// the main dialog. A page that could not be made stays null. UI thread only.
class SettingsPages {
public:
    enum Index { kGeneral = 0, kSave = 1, kEditor = 2, kVideo = 3, kCount = 4 };
    using Maker = std::function<std::unique_ptr<CDialog>(int index, const SettingsPageEnvironment& environment)>;

    SettingsPages();
    // Destroys the pages (before their parent window goes).
    ~SettingsPages();
    SettingsPages(const SettingsPages&) = delete;
    SettingsPages& operator=(const SettingsPages&) = delete;

    // Makes and creates the four pages as children of `parent`, each moved 14 px right
    // and 88 px down from its place; the General page is shown and listens to the event
    // bus.
    void Create(CWnd& parent, const Maker& make, const SettingsPageEnvironment& environment);

    // The page `index`, null when it was not made.
    CDialog* Page(int index) const;
    CTabSavePropsDlg* SavePage() const;
    CTabVideoDlg* VideoPage() const;

    // The control `id` of the General, Save, Editor or Video page, first hit in that
    // order; null when none has it.
    HWND FindItem(int id) const;
    // Shows page `index` (0-3) and hides the others.
    void Show(int index);
    // Loads (false) or saves (true) every page from or into its variables.
    void UpdateAll(bool save);

private:
    std::unique_ptr<CDialog> m_pages[kCount];
};
