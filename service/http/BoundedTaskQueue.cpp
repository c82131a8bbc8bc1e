#include "service/http/BoundedTaskQueue.h"

#include <cstdio>

namespace service {

BoundedTaskQueue::BoundedTaskQueue(size_t threads, size_t capacity, std::atomic<int>& waiting)
    : m_capacity(capacity), m_waiting(waiting) {
    for (size_t i = 0; i < threads; ++i) m_threads.emplace_back([this] { Work(); });
}

BoundedTaskQueue::~BoundedTaskQueue() { shutdown(); }

void BoundedTaskQueue::enqueue(std::function<void()> fn) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_hasRoom.wait(lock, [this] { return m_jobs.size() < m_capacity || m_shutdown; });
    m_jobs.push_back(std::move(fn));
    ++m_waiting;
    lock.unlock();
    m_hasWork.notify_one();
}

void BoundedTaskQueue::shutdown() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_shutdown && m_threads.empty()) return;
        m_shutdown = true;
    }
    m_hasWork.notify_all();
    m_hasRoom.notify_all();
    for (std::thread& t : m_threads) {
        if (t.joinable()) t.join();
    }
    m_threads.clear();
}

void BoundedTaskQueue::Work() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_hasWork.wait(lock, [this] { return !m_jobs.empty() || m_shutdown; });
            if (m_jobs.empty()) return;  // shut down and nothing left
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
            --m_waiting;
        }
        m_hasRoom.notify_one();
        // A connection job must never take the worker down with it.
        try {
            job();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "connection worker: %s\n", e.what());
        } catch (...) {
            std::fprintf(stderr, "connection worker: unknown exception\n");
        }
    }
}

}  // namespace service
