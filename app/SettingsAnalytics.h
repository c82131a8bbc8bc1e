#pragma once

class SettingsManager;

// Connects the settings to analytics: their events go out as analytics events, and the
// collector address that the loaded settings name becomes analytics' collector. Before
// SettingsManager::Init.
void ConnectSettingsToAnalytics(SettingsManager& settings);
