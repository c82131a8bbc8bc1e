#pragma once
#include <windows.h>
#include <commdlg.h>

// The system's colour dialog with a hook, so that a derived class can place the dialog
// in OnInitDialog.
class CColorDialog {
public:
    CColorDialog(COLORREF initial, DWORD flags, HWND owner);
    virtual ~CColorDialog() = default;

    // IDOK or IDCANCEL.
    INT_PTR DoModal();
    COLORREF GetColor() const { return m_color; }

protected:
    // The dialog exists (`dialog` is the colour dialog itself); place it here. TRUE.
    virtual BOOL OnInitDialog(HWND dialog) { return TRUE; }

private:
    static UINT_PTR CALLBACK HookProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

    COLORREF m_color;
    DWORD m_flags;
    HWND m_owner;
    COLORREF m_custom[16] = {};
};
