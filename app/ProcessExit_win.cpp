#include "app/ProcessExit.h"

#include <windows.h>

#include "foundation/Log.h"
#include "settings/SettingsManager.h"

void ExitProcessWithSettingsSaved(unsigned code) {
    if (!SettingsManager::Instance().Flush()) Log("Exit: pending settings could not be saved\n");
    ExitProcess(code);
}
