#pragma once
#include <windows.h>
#include <commdlg.h>

#include <string>

// The system's open or save dialog (Explorer style) with a hook, so that a derived
// class can place the dialog in OnInitDialog. Runs the system's own modal loop; thread
// messages that arrive meanwhile reach the application through the message filter
// (InstallThreadMessageFilter).
class CFileDialog {
public:
    CFileDialog(bool open, const wchar_t* defaultExt, const wchar_t* fileName, DWORD flags, const wchar_t* filter,
                HWND owner);
    virtual ~CFileDialog() = default;

    // IDOK or IDCANCEL.
    INT_PTR DoModal();
    std::wstring GetPathName() const { return m_path; }
    // The folder shown first (empty: the system's choice) and the filter chosen first
    // (1-based, 0: the first). Set before DoModal.
    void SetInitialDir(const std::wstring& folder) { m_initialDir = folder; }
    void SetFilterIndex(DWORD index) { m_filterIndex = index; }

protected:
    // The dialog is laid out (`dialog` is the Explorer dialog itself); place it here. TRUE.
    virtual BOOL OnInitDialog(HWND dialog) { return TRUE; }

private:
    static UINT_PTR CALLBACK HookProc(HWND child, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

    bool m_open;
    std::wstring m_defaultExt;
    std::wstring m_filter;   // pairs separated by '|', as the class library writes them
    DWORD m_flags;
    HWND m_owner;
    std::wstring m_path;
    std::wstring m_initialDir;
    DWORD m_filterIndex = 0;
    wchar_t m_buffer[MAX_PATH * 4] = {};
};

// A file dialog that centres itself over its owner (or the screen).
class CCenteredFileDialog : public CFileDialog {
public:
    using CFileDialog::CFileDialog;

protected:
    BOOL OnInitDialog(HWND dialog) override;
};

class ILayoutManager;

// A file dialog that asks a layout object where to stand (topmost, not activated).
// Without one it opens where the system puts it.
class CPositionedFileDlg : public CFileDialog {
public:
    using CFileDialog::CFileDialog;
    ILayoutManager* m_layout = nullptr;   // not owned

protected:
    BOOL OnInitDialog(HWND dialog) override;
};

// Centres `window` over its owner, or over the work area without one.
void CenterWindow(HWND window);
