#include "classlib/WorkerThread.h"

#include <process.h>

#include <exception>

#include "foundation/Log.h"
#include "foundation/WinHandles.h"

namespace {

struct ThreadStart {
    AFX_THREADPROC proc;
    void* param;
};

unsigned __stdcall ThreadEntry(void* raw) noexcept {
    ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    unsigned code = 0;
    try {
        code = start.proc(start.param);
    } catch (const std::exception& e) {
        Log("Worker thread: %s\n", e.what());
    } catch (...) {
        Log("Worker thread: unknown exception\n");
    }
    return code;
}

}  // namespace

bool AfxBeginThread(AFX_THREADPROC proc, void* param) {
    auto* start = new ThreadStart{proc, param};
    uintptr_t handle = _beginthreadex(nullptr, 0, &ThreadEntry, start, 0, nullptr);
    if (handle == 0) {
        delete start;
        Log("AfxBeginThread: _beginthreadex failed\n");
        return false;
    }
    // The thread runs on by itself; its handle closes here, nothing waits on it.
    UniqueHandle thread(reinterpret_cast<HANDLE>(handle));
    return true;
}

void AfxEndThread(UINT exitCode) {
    _endthreadex(exitCode);
    for (;;) {
    }
}
