#include "app/Worker.h"

#include "classlib/WorkerThread.h"

bool StartWorkerThread(std::unique_ptr<IWorker> worker) {
    IWorker* raw = worker.get();
    if (!AfxBeginThread(&RunWorkerThread, raw)) return false;
    worker.release();   // the thread owns it now
    return true;
}
