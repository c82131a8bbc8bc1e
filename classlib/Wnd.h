#pragma once
#include <windows.h>

// A window of the program: one C++ object attached to one HWND. Windows we create
// (CreateEx) run StaticWndProc; existing windows (dialog controls, dialogs after
// WM_INITDIALOG) are subclassed with SetWindowSubclass. Either way every message goes
// through the virtual WindowProc on the window's thread; Default() runs the handling
// the window would have had without us.
//
// No exception leaves a window procedure: the static procedures are noexcept and hold
// the only catch-all, which logs and falls back to Default().
class CWnd {
public:
    CWnd() = default;
    // Detaches; destroys the window only when this object created it.
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The object attached to a window, or null. Any thread may ask; only the window's
    // own thread may use the object.
    static CWnd* FromHandle(HWND hwnd);

    // A window class whose procedure is StaticWndProc; registered once per style set.
    static const wchar_t* RegisterWndClass(UINT classStyle);

    bool CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, int x, int y,
                  int width, int height, HWND parent, HMENU menuOrId);
    bool DestroyWindow();

    // Attaches to an existing window by subclassing it (dialog controls).
    bool SubclassWindow(HWND hwnd);
    bool SubclassDlgItem(UINT id, CWnd* parent);

    // Every message of the window; the default runs Default().
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // Called by the message pump for messages to this window or its children before
    // they are dispatched; true consumes the message.
    virtual BOOL PreTranslateMessage(MSG* msg) { return FALSE; }
    // A notification (WM_COMMAND, WM_NOTIFY, WM_CTLCOLOR*) that the parent dialog
    // reflects back to the control it concerns. True when handled, with `result`.
    virtual bool OnReflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) { return false; }
    // After WM_NCDESTROY; the window handle is gone already.
    virtual void PostNcDestroy() {}

    // The handling the window would have had without this object.
    LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam);

    // Thin helpers over the Win32 calls of the same names.
    BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    UINT_PTR SetTimer(UINT_PTR id, UINT ms) { return ::SetTimer(m_hWnd, id, ms, nullptr); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    BOOL Post(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::PostMessageW(m_hWnd, msg, wParam, lParam);
    }
    LRESULT Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::SendMessageW(m_hWnd, msg, wParam, lParam);
    }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    void SetText(const wchar_t* text) { ::SetWindowTextW(m_hWnd, text); }
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }

    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

protected:
    void Attach(HWND hwnd);
    void Detach();
    // The window was made for this object (CreateEx, a dialog's Create): the
    // destructor destroys it.
    void SetOwnsWindow() { m_created = true; }

private:
    static LRESULT CALLBACK StaticSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                               UINT_PTR id, DWORD_PTR data) noexcept;
    LRESULT GuardedWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
    void OnNcDestroy();

    bool m_subclassed = false;   // attached through SetWindowSubclass
    bool m_created = false;      // this object created the window
};

// The dialog or window procedure's catch-all writes one log line through this.
void LogWindowProcException(UINT msg, const char* what);
