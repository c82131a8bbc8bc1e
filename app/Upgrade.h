#pragma once

// Results of UpgradeSettingsFiles; the number goes into the launch event as "Up-{}".
enum UpgradeResult { kUpgradeNothing = 0, kUpgradeMigrated = 1, kUpgradeFailed = 2 };

// Moves (or copies) a settings.json left in the roaming or common data folder by an
// older version into the local data folder, then removes the old copies. An old copy
// is deleted only when the local file existed before or that copy was moved or copied
// into place, so a failed migration never deletes the only copy.
int UpgradeSettingsFiles();

// The old shell extension's registration, and its removal (quit command).
bool IsOldShellExtensionRegistered();
void UnregisterOldShellExtension();
// The library that UnregisterOldShellExtension hands to regsvr32: the 64-bit one on 64-bit
// Windows (a 64-bit process, or a 32-bit one under WOW64), else the 32-bit one.
const wchar_t* OldShellExtensionLibrary();
