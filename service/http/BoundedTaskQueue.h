#pragma once
#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace service {

// httplib's connection queue with a fixed number of worker threads and a cap on the
// connections waiting for one: when the cap is reached, enqueue blocks the accepting
// thread, so further clients wait in the kernel's listen queue instead of in memory.
// waiting counts the queued connections, so that busy workers can end idle keep-alive
// connections early.
class BoundedTaskQueue final : public httplib::TaskQueue {
public:
    BoundedTaskQueue(size_t threads, size_t capacity, std::atomic<int>& waiting);
    ~BoundedTaskQueue() override;

    void enqueue(std::function<void()> fn) override;
    void shutdown() override;

private:
    void Work();

    size_t m_capacity;
    std::atomic<int>& m_waiting;  // owned by the server
    std::mutex m_mutex;
    std::condition_variable m_hasWork, m_hasRoom;
    std::deque<std::function<void()>> m_jobs;
    bool m_shutdown = false;
    std::vector<std::thread> m_threads;
};

}  // namespace service
