#pragma once
#include <memory>

// A job for a worker thread (the capture sound, an upload). Created on the heap by its
// starter and owned by the thread from the start on.
class IWorker {
public:
    virtual ~IWorker() = default;
    virtual void Run() = 0;
};

// Thread body: runs the worker inside a catch-all (an exception ends the run without a
// log line), then deletes it. `param` is the IWorker*.
unsigned RunWorkerThread(void* param);

// Starts `worker` on a detached worker thread; false (worker deleted) when no thread
// could be made.
bool StartWorkerThread(std::unique_ptr<IWorker> worker);
