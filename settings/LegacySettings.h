#pragma once
#include "settings/LegacySettingsStore.h"
#include "settings/SettingsJson.h"

// Fills the record from the old registry values, with their defaults and fix-ups. An
// error while reading ends the migration; the members keep what was read so far (every
// member already holds a default).
void ReadLegacySettings(ILegacySettingsStore& store, const SettingsLoadContext& context,
                        SettingsManagerImpl& record);
