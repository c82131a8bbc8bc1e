#include "app/HotkeysManager.h"

#include <windows.h>

#include "foundation/Log.h"
#include "settings/SettingsManager.h"

namespace HotkeysManager {

void Start() {
    // The poller does not run yet: no lock needed.
    LoadCombinations(SettingsManager::Instance().GetHotkeys());
    if (!StartWith([](int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; })) {
        Log("HotkeysManager::Start: the poller does not run\n");
    }
}

}  // namespace HotkeysManager
