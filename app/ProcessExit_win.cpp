#include "app/ProcessExit.h"

#include <windows.h>

#include "foundation/Log.h"
#include "foundation/Process.h"
#include "settings/SettingsManager.h"

namespace {
constexpr int kExitStartWaitMs = 2000;
}

void ExitProcessWithSettingsSaved(unsigned code) {
    if (!SettingsManager::Instance().Flush()) Log("Exit: pending settings could not be saved\n");
    // Child processes outlive us, but one whose start is still pending on a runner thread
    // would die with that thread: the exit event (curl.exe) is requested just before.
    if (!Process::WaitForPendingStarts(kExitStartWaitMs)) {
        Log("Exit: %d child process start(s) still pending\n", Process::PendingStarts());
    }
    ExitProcess(code);
}
