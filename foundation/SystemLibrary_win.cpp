#include "foundation/SystemLibrary.h"

#include <utility>

SystemLibrary::SystemLibrary(const wchar_t* name) : m_module(LoadLibraryW(name)) {
    if (!m_module) m_error = GetLastError();
}

SystemLibrary::~SystemLibrary() {
    reset();
}

SystemLibrary::SystemLibrary(SystemLibrary&& other) noexcept
    : m_module(std::exchange(other.m_module, nullptr)), m_error(std::exchange(other.m_error, 0)) {}

SystemLibrary& SystemLibrary::operator=(SystemLibrary&& other) noexcept {
    if (this != &other) {
        reset();
        m_module = std::exchange(other.m_module, nullptr);
        m_error = std::exchange(other.m_error, 0);
    }
    return *this;
}

void SystemLibrary::reset() {
    if (m_module) FreeLibrary(m_module);
    m_module = nullptr;
    m_error = 0;
}
