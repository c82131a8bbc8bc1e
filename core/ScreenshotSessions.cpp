#include "core/ScreenshotSessions.h"

#include <exception>
#include <stdexcept>

#include "core/CvxException.h"
#include "core/CvxVideoMode.h"
#include "core/video/DXGIException.h"
#include "foundation/Log.h"

ScreenshotSessions::ScreenshotSessions(ReaderFactory factory, MonitorSource monitors,
                                       int initialMode)
    : m_factory(std::move(factory)), m_monitorSource(std::move(monitors)),
      m_sessionMode(initialMode) {
    m_startMonitors = m_monitorSource();
}

int ScreenshotSessions::StartInMode(int mode, const CvxRect& area) {
    int id = ++m_lastId;
    m_captureCursor = true;
    m_area = area;
    m_startMonitors = m_monitorSource();
    Log("CvxStartScreenshotSession: start\n");
    try {
        std::unique_ptr<IScreenReader> reader = m_factory(mode, true, area);
        if (!reader) throw std::invalid_argument("unknown video mode");
        m_sessions[id] = std::move(reader);
    } catch (const CvxException& e) {
        Log("CvxStartScreenshotSession: failed to start session for video mode %d: %s\n", mode,
            e.what());
        return -1;
    } catch (...) {
        Log("CvxStartScreenshotSession: failed to start session for video mode %d\n", mode);
        return -1;
    }
    m_sessionMode = mode;
    return id;
}

int ScreenshotSessions::Start(int currentMode, const CvxRect& area) {
    int id = StartInMode(currentMode, area);
    if (id < 0 && currentMode != CvxVideoModeGdi) {
        Log("CvxStartScreenshotSession: try in GDI mode\n");
        return StartInMode(CvxVideoModeGdi, area);
    }
    return id;
}

std::vector<uint8_t>& ScreenshotSessions::Read(int id, std::vector<uint8_t>& buffer,
                                               uint64_t& time, CvxGetScreenshotStatus& status) {
    status = CvxGetScreenshot_Ok;
    try {
        auto it = m_sessions.find(id);
        if (it == m_sessions.end() || !it->second)
            throw CvxException(std::string("CvxGetScreenshot:reader is NULL"));
        return it->second->Read(buffer, time);
    } catch (const core::video::DXGIAccessLostException&) {
        Log("CvxGetScreenshot session failed as DXGIAccessLostException\n");
    } catch (const core::video::DXGIInvalidCallException&) {
        Log("CvxGetScreenshot session failed as DXGIInvalidCallException\n");
    } catch (...) {
        Log("CvxGetScreenshot session failed in mode %d\n", m_sessionMode);
    }
    status = m_monitorSource() == m_startMonitors ? CvxGetScreenshot_SessionFailed
                                                  : CvxGetScreenshot_VideoConfigurationChanged;
    buffer.clear();
    return buffer;
}

void ScreenshotSessions::TryRefresh(int id) {
    auto it = m_sessions.find(id);
    if (it == m_sessions.end()) return;
    it->second.reset();
    try {
        it->second = m_factory(m_sessionMode, m_captureCursor, m_area);
        if (!it->second) Log("CvxTryRefreshScreenshotSession failed\n");
    } catch (...) {
        Log("CvxTryRefreshScreenshotSession failed\n");
    }
}

void ScreenshotSessions::Stop(int id) {
    m_sessions.erase(id);
}
