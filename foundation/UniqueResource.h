#pragma once
// One owned handle that is freed exactly once, by the call its traits name.
//
// Traits describe one kind of handle:
//   using Handle = ...;                 the handle type (a pointer, an int, a HANDLE)
//   static Handle Empty();              the value held when nothing is owned
//   static bool IsValid(Handle);        false for every "no handle" value the API returns
//   static void Free(Handle);           the release call (only ever given valid handles)
// WinHandles.h and PosixHandles.h name the kinds this program owns.
#include <utility>

template <typename Traits>
class UniqueResource {
public:
    using Handle = typename Traits::Handle;

    UniqueResource() noexcept = default;
    explicit UniqueResource(Handle handle) noexcept : m_handle(handle) {}
    ~UniqueResource() { reset(); }

    UniqueResource(UniqueResource&& other) noexcept : m_handle(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    Handle get() const noexcept { return m_handle; }
    explicit operator bool() const noexcept { return Traits::IsValid(m_handle); }

    // Gives up ownership: the caller (or whoever the handle is handed to) frees it now.
    Handle release() noexcept { return std::exchange(m_handle, Traits::Empty()); }

    // Frees what is held and takes `handle` instead.
    void reset(Handle handle = Traits::Empty()) noexcept {
        const Handle old = std::exchange(m_handle, handle);
        if (old != handle && Traits::IsValid(old)) Traits::Free(old);
    }

    // For an API that returns the handle through an out-parameter: frees what is held first.
    Handle* put() noexcept {
        reset();
        return &m_handle;
    }

private:
    Handle m_handle = Traits::Empty();
};
