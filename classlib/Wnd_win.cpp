#include "classlib/Wnd.h"

#include <commctrl.h>

#include <exception>
#include <map>
#include <mutex>
#include <string>

#include "foundation/Log.h"

namespace {

const wchar_t kObjectProperty[] = L"BrivaneCWnd";
constexpr UINT_PTR kSubclassId = 0x42524956;   // "BRIV"

}  // namespace

void LogWindowProcException(UINT msg, const char* what) {
    Log("WndProc msg 0x%04x: %s\n", msg, what);
}

CWnd::~CWnd() {
    if (m_hWnd && m_created) {
        ::DestroyWindow(m_hWnd);
    }
    if (m_hWnd) Detach();
}

CWnd* CWnd::FromHandle(HWND hwnd) {
    if (!hwnd) return nullptr;
    return static_cast<CWnd*>(GetPropW(hwnd, kObjectProperty));
}

const wchar_t* CWnd::RegisterWndClass(UINT classStyle) {
    static std::mutex lock;
    static std::map<UINT, std::wstring> names;
    std::lock_guard<std::mutex> guard(lock);
    auto it = names.find(classStyle);
    if (it != names.end()) return it->second.c_str();
    std::wstring name = L"BrivaneWnd" + std::to_wstring(classStyle);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = classStyle;
    wc.lpfnWndProc = &CWnd::StaticWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = name.c_str();
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        Log("CWnd::RegisterWndClass: failed, error %lu\n", GetLastError());
    }
    return names.emplace(classStyle, name).first->second.c_str();
}

void CWnd::Attach(HWND hwnd) {
    m_hWnd = hwnd;
    SetPropW(hwnd, kObjectProperty, this);
}

void CWnd::Detach() {
    if (!m_hWnd) return;
    if (m_subclassed) {
        RemoveWindowSubclass(m_hWnd, &CWnd::StaticSubclassProc, kSubclassId);
        m_subclassed = false;
    }
    RemovePropW(m_hWnd, kObjectProperty);
    m_hWnd = nullptr;
    m_created = false;
}

bool CWnd::CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menuOrId) {
    if (m_hWnd) return false;
    HWND hwnd = CreateWindowExW(exStyle, className, title, style, x, y, width, height, parent, menuOrId,
                                GetModuleHandleW(nullptr), this);
    if (!hwnd) {
        Log("CWnd::CreateEx: failed, error %lu\n", GetLastError());
        return false;
    }
    m_created = true;
    // A class of another procedure did not attach us in WM_NCCREATE.
    if (m_hWnd != hwnd) {
        Attach(hwnd);
        m_subclassed = SetWindowSubclass(hwnd, &CWnd::StaticSubclassProc, kSubclassId,
                                         reinterpret_cast<DWORD_PTR>(this)) != FALSE;
    }
    return true;
}

bool CWnd::DestroyWindow() {
    if (!m_hWnd) return false;
    return ::DestroyWindow(m_hWnd) != FALSE;
}

bool CWnd::SubclassWindow(HWND hwnd) {
    if (m_hWnd || !hwnd || FromHandle(hwnd)) return false;
    if (!SetWindowSubclass(hwnd, &CWnd::StaticSubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        return false;
    }
    Attach(hwnd);
    m_subclassed = true;
    return true;
}

bool CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    return parent && SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    return Default(msg, wParam, lParam);
}

LRESULT CWnd::Default(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (m_subclassed) return DefSubclassProc(m_hWnd, msg, wParam, lParam);
    return DefWindowProcW(m_hWnd, msg, wParam, lParam);
}

void CWnd::OnNcDestroy() {
    Detach();
    PostNcDestroy();
}

LRESULT CWnd::GuardedWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    HWND hwnd = m_hWnd;
    try {
        return WindowProc(msg, wParam, lParam);
    } catch (const std::exception& e) {
        LogWindowProcException(msg, e.what());
    } catch (...) {
        LogWindowProcException(msg, "unknown exception");
    }
    if (m_subclassed) return DefSubclassProc(hwnd, msg, wParam, lParam);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK CWnd::StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    CWnd* self = FromHandle(hwnd);
    if (!self && msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        self = static_cast<CWnd*>(cs->lpCreateParams);
        if (self) self->Attach(hwnd);
    }
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    LRESULT result = self->GuardedWindowProc(msg, wParam, lParam);
    if (msg == WM_NCDESTROY) self->OnNcDestroy();
    return result;
}

LRESULT CALLBACK CWnd::StaticSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                          DWORD_PTR data) noexcept {
    auto* self = reinterpret_cast<CWnd*>(data);
    if (!self || self->m_hWnd != hwnd) return DefSubclassProc(hwnd, msg, wParam, lParam);
    LRESULT result = self->GuardedWindowProc(msg, wParam, lParam);
    if (msg == WM_NCDESTROY) self->OnNcDestroy();
    return result;
}
