#include "classlib/ColorDialog.h"

#include <exception>

#include "classlib/Wnd.h"

CColorDialog::CColorDialog(COLORREF initial, DWORD flags, HWND owner)
    : m_color(initial), m_flags(flags), m_owner(owner) {
    for (COLORREF& c : m_custom) c = RGB(255, 255, 255);
}

INT_PTR CColorDialog::DoModal() {
    CHOOSECOLORW cc = {};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = m_owner;
    cc.rgbResult = m_color;
    cc.lpCustColors = m_custom;
    cc.Flags = m_flags | CC_RGBINIT | CC_ENABLEHOOK;
    cc.lpfnHook = &CColorDialog::HookProc;
    cc.lCustData = reinterpret_cast<LPARAM>(this);
    if (!ChooseColorW(&cc)) return IDCANCEL;
    m_color = cc.rgbResult;
    return IDOK;
}

UINT_PTR CALLBACK CColorDialog::HookProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    if (msg != WM_INITDIALOG) return 0;
    try {
        auto* cc = reinterpret_cast<CHOOSECOLORW*>(lParam);
        auto* self = cc ? reinterpret_cast<CColorDialog*>(cc->lCustData) : nullptr;
        if (self) self->OnInitDialog(dialog);
    } catch (const std::exception& e) {
        LogWindowProcException(msg, e.what());
    } catch (...) {
        LogWindowProcException(msg, "unknown exception");
    }
    // Let the dialog set the default focus.
    return TRUE;
}
