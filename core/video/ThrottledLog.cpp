#include "core/video/ThrottledLog.h"

#include <cstdarg>
#include <string>

#include "foundation/Format.h"

ThrottledLog::ThrottledLog(double intervalMs, TickClock clock) : m_gate(intervalMs, std::move(clock)) {
    m_gate.Restart();
}

void ThrottledLog::operator()(const char* format, ...) {
    if (!m_gate.IsDue()) return;
    va_list args;
    va_start(args, format);
    const std::string text = StringVPrintf(format, args);
    va_end(args);
    Log("%s", text.c_str());
    m_gate.Restart();
}
