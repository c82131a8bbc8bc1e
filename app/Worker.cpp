#include "app/Worker.h"

unsigned RunWorkerThread(void* param) {
    auto* worker = static_cast<IWorker*>(param);
    try {
        worker->Run();
    } catch (...) {
        // A failed job ends quietly; the thread and the process go on.
    }
    delete worker;
    return 0;
}
