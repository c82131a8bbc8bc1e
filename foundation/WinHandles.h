#pragma once
// Windows only: one small owner per release call, so the type chooses the call.
//
//   UniqueHandle      CloseHandle   (NULL and INVALID_HANDLE_VALUE are both empty)
//   UniqueFind        FindClose     (FindFirstFileW)
//   UniqueRegKey      RegCloseKey   (RegOpenKeyExW, RegCreateKeyExW)
//   UniqueMapView     UnmapViewOfFile (MapViewOfFile)
//   UniqueIcon        DestroyIcon   (CopyIcon, CreateIconIndirect)
//   GdiObject<T>      DeleteObject  (UniqueBitmap, UniqueFont, UniqueBrush, UniquePen, UniqueRegion)
//   UniqueDC          DeleteDC      (CreateCompatibleDC, CreateDCW)
//   WindowDC          GetDC / ReleaseDC
//   PaintDC           BeginPaint / EndPaint
//   SelectScope       SelectObject, the previous object put back on scope exit
//   ComPtr<T>         IUnknown::Release
//   ComInit           CoInitializeEx / CoUninitialize, only when the first succeeded
//
// All are move-only. Where ownership really moves on (to the clipboard, to a control),
// call release() and say so beside the call.
#include <windows.h>
#include <objbase.h>

#include <cassert>
#include <utility>

#include "foundation/UniqueResource.h"

struct KernelHandleTraits {
    using Handle = HANDLE;
    static HANDLE Empty() { return nullptr; }
    static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Free(HANDLE h) { CloseHandle(h); }
};
using UniqueHandle = UniqueResource<KernelHandleTraits>;

struct FindHandleTraits {
    using Handle = HANDLE;
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Free(HANDLE h) { FindClose(h); }
};
using UniqueFind = UniqueResource<FindHandleTraits>;

struct RegKeyTraits {
    using Handle = HKEY;
    static HKEY Empty() { return nullptr; }
    static bool IsValid(HKEY key) { return key != nullptr; }
    static void Free(HKEY key) { RegCloseKey(key); }
};
// Holds only keys this program opened, never a predefined root (HKEY_CURRENT_USER...).
using UniqueRegKey = UniqueResource<RegKeyTraits>;

struct MapViewTraits {
    using Handle = void*;
    static void* Empty() { return nullptr; }
    static bool IsValid(void* view) { return view != nullptr; }
    static void Free(void* view) { UnmapViewOfFile(view); }
};
// A view of a file mapping; unmap it before the mapping's handle is closed (declare the
// mapping's UniqueHandle first).
using UniqueMapView = UniqueResource<MapViewTraits>;

struct IconTraits {
    using Handle = HICON;
    static HICON Empty() { return nullptr; }
    static bool IsValid(HICON icon) { return icon != nullptr; }
    static void Free(HICON icon) { DestroyIcon(icon); }
};
// An icon or cursor this program made (CopyIcon, CreateIconIndirect); never a shared one
// from LoadIcon/LoadCursor.
using UniqueIcon = UniqueResource<IconTraits>;

template <typename T>
struct GdiObjectTraits {
    using Handle = T;
    static T Empty() { return nullptr; }
    static bool IsValid(T object) { return object != nullptr; }
    static void Free(T object) { DeleteObject(object); }
};
// Declare the object before any SelectScope that selects it: the scope then puts the
// previous object back before the object is deleted.
template <typename T>
using GdiObject = UniqueResource<GdiObjectTraits<T>>;
using UniqueBitmap = GdiObject<HBITMAP>;
using UniqueFont = GdiObject<HFONT>;
using UniqueBrush = GdiObject<HBRUSH>;
using UniquePen = GdiObject<HPEN>;
using UniqueRegion = GdiObject<HRGN>;

struct DcTraits {
    using Handle = HDC;
    static HDC Empty() { return nullptr; }
    static bool IsValid(HDC dc) { return dc != nullptr; }
    static void Free(HDC dc) { DeleteDC(dc); }
};
// A device context this program created (CreateCompatibleDC): freed with DeleteDC.
using UniqueDC = UniqueResource<DcTraits>;

// A window's (or, for nullptr, the screen's) device context from GetDC, given back with
// ReleaseDC.
class WindowDC {
public:
    WindowDC() noexcept = default;
    explicit WindowDC(HWND window) noexcept : m_window(window), m_dc(GetDC(window)) {}
    ~WindowDC() { reset(); }
    WindowDC(WindowDC&& other) noexcept
        : m_window(std::exchange(other.m_window, nullptr)), m_dc(other.release()) {}
    WindowDC& operator=(WindowDC&& other) noexcept {
        if (this != &other) {
            reset();
            m_window = std::exchange(other.m_window, nullptr);
            m_dc = other.release();
        }
        return *this;
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC get() const noexcept { return m_dc; }
    explicit operator bool() const noexcept { return m_dc != nullptr; }
    // The caller gives it back with ReleaseDC(window, dc).
    HDC release() noexcept { return std::exchange(m_dc, nullptr); }
    void reset() noexcept {
        if (m_dc) ReleaseDC(m_window, m_dc);
        m_dc = nullptr;
        m_window = nullptr;
    }

private:
    HWND m_window = nullptr;   // not owned
    HDC m_dc = nullptr;
};

// The device context of one WM_PAINT: BeginPaint on construction, EndPaint on scope exit.
class PaintDC {
public:
    explicit PaintDC(HWND window) noexcept : m_window(window), m_dc(BeginPaint(window, &m_paint)) {}
    ~PaintDC() { reset(); }
    PaintDC(PaintDC&& other) noexcept
        : m_window(std::exchange(other.m_window, nullptr)), m_paint(other.m_paint),
          m_dc(std::exchange(other.m_dc, nullptr)) {}
    PaintDC& operator=(PaintDC&& other) noexcept {
        if (this != &other) {
            reset();
            m_window = std::exchange(other.m_window, nullptr);
            m_paint = other.m_paint;
            m_dc = std::exchange(other.m_dc, nullptr);
        }
        return *this;
    }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;

    HDC get() const noexcept { return m_dc; }
    const PAINTSTRUCT& paint() const noexcept { return m_paint; }
    explicit operator bool() const noexcept { return m_dc != nullptr; }
    // Ends the paint now.
    void reset() noexcept {
        if (m_window) EndPaint(m_window, &m_paint);
        m_window = nullptr;
        m_dc = nullptr;
    }

private:
    HWND m_window = nullptr;   // not owned
    PAINTSTRUCT m_paint = {};
    HDC m_dc = nullptr;
};

// Selects an object into a DC and puts the previous one back on scope exit. Not for
// regions: SelectObject returns no previous object for those.
class SelectScope {
public:
    SelectScope() noexcept = default;
    SelectScope(HDC dc, HGDIOBJ object) noexcept : m_dc(dc) { Select(object); }
    ~SelectScope() { reset(); }
    SelectScope(SelectScope&& other) noexcept
        : m_dc(std::exchange(other.m_dc, nullptr)), m_previous(other.release()) {}
    SelectScope& operator=(SelectScope&& other) noexcept {
        if (this != &other) {
            reset();
            m_dc = std::exchange(other.m_dc, nullptr);
            m_previous = other.release();
        }
        return *this;
    }
    SelectScope(const SelectScope&) = delete;
    SelectScope& operator=(const SelectScope&) = delete;

    // Selects another object in the same DC; the scope still puts back the object that
    // was there before its first selection.
    void Select(HGDIOBJ object) noexcept {
        HGDIOBJ previous = SelectObject(m_dc, object);
        if (!m_previous && previous != HGDI_ERROR) m_previous = previous;
    }

    // The object selected before this scope (nullptr when the selection failed).
    HGDIOBJ get() const noexcept { return m_previous; }
    explicit operator bool() const noexcept { return m_previous != nullptr; }
    // Leaves the current selection as it is; returns what would have been put back.
    HGDIOBJ release() noexcept { return std::exchange(m_previous, nullptr); }
    // Puts the previous object back now.
    void reset() noexcept {
        if (m_previous) SelectObject(m_dc, m_previous);
        m_previous = nullptr;
    }

private:
    HDC m_dc = nullptr;   // not owned
    HGDIOBJ m_previous = nullptr;
};

template <typename T>
struct ComTraits {
    using Handle = T*;
    static T* Empty() { return nullptr; }
    static bool IsValid(T* pointer) { return pointer != nullptr; }
    static void Free(T* pointer) { pointer->Release(); }
};
// One COM interface pointer, released once. Constructed from a pointer it takes over a
// reference the caller already holds (no AddRef).
template <typename T>
class ComPtr : public UniqueResource<ComTraits<T>> {
    using Base = UniqueResource<ComTraits<T>>;

public:
    using Base::Base;
    T* operator->() const noexcept { return this->get(); }
    // For out-parameters (CoCreateInstance, QueryInterface): the holder must be empty.
    T** put() noexcept {
        assert(!this->get());
        return Base::put();
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
};

// COM on this thread for the scope. CoUninitialize runs only when CoInitializeEx
// succeeded (S_OK, or S_FALSE when COM was already up on the thread); after
// RPC_E_CHANGED_MODE, for one, it must not.
class ComInit {
public:
    explicit ComInit(DWORD flags = COINIT_APARTMENTTHREADED) noexcept
        : m_result(CoInitializeEx(nullptr, flags)), m_owned(SUCCEEDED(m_result)) {}
    ~ComInit() { reset(); }
    ComInit(ComInit&& other) noexcept
        : m_result(other.m_result), m_owned(std::exchange(other.m_owned, false)) {}
    ComInit& operator=(ComInit&& other) noexcept {
        if (this != &other) {
            reset();
            m_result = other.m_result;
            m_owned = std::exchange(other.m_owned, false);
        }
        return *this;
    }
    ComInit(const ComInit&) = delete;
    ComInit& operator=(const ComInit&) = delete;

    HRESULT get() const noexcept { return m_result; }
    explicit operator bool() const noexcept { return SUCCEEDED(m_result); }
    // The caller now owes the CoUninitialize (true when one is owed).
    bool release() noexcept { return std::exchange(m_owned, false); }
    void reset() noexcept {
        if (std::exchange(m_owned, false)) CoUninitialize();
    }

private:
    HRESULT m_result = E_FAIL;
    bool m_owned = false;
};
