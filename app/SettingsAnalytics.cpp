#include "app/SettingsAnalytics.h"

#include "server/Analytics.h"
#include "settings/SettingsManager.h"

void ConnectSettingsToAnalytics(SettingsManager& settings) {
    settings.SetEventSink([](const SettingsEvent& e) { CvxAnalyticsPostEventAsync(-1, e.category, e.action, e.label); });
    settings.SetCollectorUrlSink([](const std::wstring& baseUrl) { AnalyticsSetCollectorUrl(baseUrl); });
}
