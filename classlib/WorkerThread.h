#pragma once
#include <windows.h>

// The class library's worker threads: a plain function on a new detached thread.
// The thread entry holds a catch-all, so an exception thrown by `proc` ends the thread
// (exit code 0) instead of the process.
using AFX_THREADPROC = UINT (*)(void* param);

// Starts `proc(param)`; false when the thread could not be made (`param` is then still
// the caller's). The thread is not kept: nobody joins it.
bool AfxBeginThread(AFX_THREADPROC proc, void* param);

// Ends the calling worker thread with `exitCode`; never returns. Only for threads
// started by AfxBeginThread.
[[noreturn]] void AfxEndThread(UINT exitCode);
