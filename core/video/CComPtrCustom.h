#pragma once
#include <cassert>
#include <utility>

// Holds one COM interface pointer and releases it. Move-only, so no copy can release
// the same pointer twice.
template <typename T>
class CComPtrCustom {
public:
    CComPtrCustom() = default;
    explicit CComPtrCustom(T* pointer) : m_pointer(pointer) {}
    virtual ~CComPtrCustom() { Reset(); }
    CComPtrCustom(CComPtrCustom&& other) noexcept : m_pointer(std::exchange(other.m_pointer, nullptr)) {}
    CComPtrCustom& operator=(CComPtrCustom&& other) noexcept {
        if (this != &other) {
            Reset();
            m_pointer = std::exchange(other.m_pointer, nullptr);
        }
        return *this;
    }
    CComPtrCustom(const CComPtrCustom&) = delete;
    CComPtrCustom& operator=(const CComPtrCustom&) = delete;

    void Reset() {
        if (m_pointer) {
            m_pointer->Release();
            m_pointer = nullptr;
        }
    }
    T* get() const { return m_pointer; }
    T* operator->() const { return m_pointer; }
    explicit operator bool() const { return m_pointer != nullptr; }
    // For out-parameters: the holder must be empty.
    T** put() {
        assert(!m_pointer);
        return &m_pointer;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }

private:
    T* m_pointer = nullptr;
};
