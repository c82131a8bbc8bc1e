#include "app/HotkeysManager.h"

#include <windows.h>

#include "foundation/Log.h"
#include "settings/SettingsManager.h"

namespace HotkeysManager {

void Start() {
    // The poller does not run yet: no lock needed.
    LoadCombinations(SettingsManager::Instance().GetHotkeys());
    if (!StartWith([](int key) {
            const SHORT state = GetAsyncKeyState(key);
            return KeyRead{(state & 0x8000) != 0, (state & 0x0001) != 0};
        })) {
        Log("HotkeysManager::Start: the poller does not run\n");
    }
}

}  // namespace HotkeysManager
