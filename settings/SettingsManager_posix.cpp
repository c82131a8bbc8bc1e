// The native build has no registry and no version resource.
#include <memory>

#include "settings/LegacySettingsStore.h"
#include "settings/SettingsManager.h"

std::unique_ptr<ILegacySettingsStore> CreateLegacySettingsStore() {
    return std::make_unique<EmptyLegacySettingsStore>();
}

bool SettingsManager::DeleteRegistrySettings() { return true; }

std::wstring SettingsManager::GetProductName() { return L"Brivane"; }

std::wstring SettingsManager::GetProductVersion() { return L"0.0.0.0"; }
