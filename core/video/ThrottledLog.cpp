#include "core/video/ThrottledLog.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

ThrottledLog::ThrottledLog(double intervalMs, TickClock clock) : m_gate(intervalMs, std::move(clock)) {
    m_gate.Restart();
}

void ThrottledLog::operator()(const char* format, ...) {
    if (!m_gate.IsDue()) return;
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::vector<char> text(needed > 0 ? size_t(needed) + 1 : 1, '\0');
    if (needed > 0) std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    Log("%s", text.data());
    m_gate.Restart();
}
