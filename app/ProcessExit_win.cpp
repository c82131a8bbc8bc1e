#include "app/ProcessExit.h"

#include <windows.h>

#include "foundation/Log.h"
#include "foundation/Process.h"
#include "foundation/QuietPeriod.h"
#include "settings/SettingsManager.h"

namespace {
// Long enough for curl.exe to start and deliver an event under a loaded Wine; short
// enough that an unreachable collector never holds the exit noticeably.
constexpr int kExitWaitMs = 5000;
}

void ExitProcessWithSettingsSaved(unsigned code) {
    if (!SettingsManager::Instance().Flush()) Log("Exit: pending settings could not be saved\n");
    // A child whose start is still pending on a runner thread would die with that thread,
    // and an analytics event sent just before (the exit's own) is only delivered once its
    // curl.exe has ended: wait for both, bounded. Nothing holds them back any more.
    QuietPeriod::EndAll();
    if (!Process::WaitBeforeExit(kExitWaitMs)) {
        Log("Exit: %d child process start(s) pending, %d event(s) unfinished\n", Process::PendingStarts(),
            Process::UnfinishedExitRuns());
    }
    Log("Exit: ExitProcess(%u)\n", code);
    ExitProcess(code);
}
