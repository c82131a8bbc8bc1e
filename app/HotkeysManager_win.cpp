#include "app/HotkeysManager.h"

#include <windows.h>

#include "foundation/Log.h"
#include "settings/SettingsManager.h"

namespace HotkeysManager {

void Start() {
    // The poller does not run yet: no lock needed.
    LoadCombinations(SettingsManager::Instance().GetHotkeys());
    // The pause is the system's own Sleep: the standard library's sleep of this toolchain
    // waits on an event, which under Wine is a round trip through the wineserver at every
    // pass (100 a second for the whole run), where a plain Sleep costs none.
    if (!StartWith(
            [](int key) {
                const SHORT state = GetAsyncKeyState(key);
                return KeyRead{(state & 0x8000) != 0, (state & 0x0001) != 0};
            },
            [](int milliseconds) { ::Sleep(static_cast<DWORD>(milliseconds)); })) {
        Log("HotkeysManager::Start: the poller does not run\n");
    }
}

}  // namespace HotkeysManager
