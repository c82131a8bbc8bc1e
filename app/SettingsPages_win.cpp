#include "app/SettingsPages.h"

#include "app/TabCommonDlg.h"
#include "app/TabDrawSettingsDlg.h"
#include "app/TabSavePropsDlg.h"
#include "app/TabVideoDlg.h"
#include "foundation/EventBus.h"
#include "foundation/Log.h"

namespace {

constexpr int kPageOffsetX = 14;
constexpr int kPageOffsetY = 88;

}  // namespace

std::unique_ptr<CDialog> MakeSettingsPage(int index, const SettingsPageEnvironment& environment) {
    switch (index) {
    case SettingsPages::kGeneral: {
        GeneralPageEnvironment general = GeneralPageEnvironment::Default();
        general.page = environment;
        return std::make_unique<CTabCommonDlg>(std::move(general));
    }
    case SettingsPages::kSave:
        return std::make_unique<CTabSavePropsDlg>(environment);
    case SettingsPages::kEditor:
        return std::make_unique<CTabDrawSettingsDlg>(environment);
    case SettingsPages::kVideo:
        return std::make_unique<CTabVideoDlg>(environment);
    default:
        return nullptr;
    }
}

SettingsPages::SettingsPages() = default;

SettingsPages::~SettingsPages() = default;

void SettingsPages::Create(CWnd& parent, const Maker& make, const SettingsPageEnvironment& environment) {
    if (!make) return;
    for (int i = 0; i < kCount; i++) {
        std::unique_ptr<CDialog> page = make(i, environment);
        if (!page || !page->Create(&parent)) {
            Log("CtavimorerfDlg: settings page %d not created\n", i);
            continue;
        }
        // The page keeps its size; it moves 14 px right and 88 px down from its place,
        // above the tab control.
        RECT rect;
        GetWindowRect(page->m_hWnd, &rect);
        MapWindowPoints(nullptr, parent.m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        SetWindowPos(page->m_hWnd, HWND_TOP, rect.left + kPageOffsetX, rect.top + kPageOffsetY, 0, 0,
                     SWP_NOSIZE | SWP_NOACTIVATE);
        m_pages[i] = std::move(page);
        if (i == kGeneral) {
            m_pages[i]->ShowWindow(SW_SHOW);
            EventBus::Instance().Register(static_cast<CTabCommonDlg*>(m_pages[i].get()));
        }
    }
}

CDialog* SettingsPages::Page(int index) const {
    if (index < 0 || index >= kCount) return nullptr;
    return m_pages[index].get();
}

CTabSavePropsDlg* SettingsPages::SavePage() const {
    auto* save = static_cast<CTabSavePropsDlg*>(m_pages[kSave].get());
    return save && save->m_hWnd ? save : nullptr;
}

CTabVideoDlg* SettingsPages::VideoPage() const {
    auto* video = static_cast<CTabVideoDlg*>(m_pages[kVideo].get());
    return video && video->m_hWnd ? video : nullptr;
}

HWND SettingsPages::FindItem(int id) const {
    for (const auto& page : m_pages) {
        if (!page || !page->m_hWnd) continue;
        if (HWND control = page->GetDlgItem(id)) return control;
    }
    return nullptr;
}

void SettingsPages::Show(int index) {
    for (int i = 0; i < kCount; i++) {
        if (m_pages[i] && m_pages[i]->m_hWnd) m_pages[i]->ShowWindow(i == index ? SW_SHOW : SW_HIDE);
    }
}

void SettingsPages::UpdateAll(bool save) {
    for (const auto& page : m_pages) {
        if (page && page->m_hWnd) page->UpdateData(save ? TRUE : FALSE);
    }
}
