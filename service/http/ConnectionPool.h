#pragma once
#include "service/http/ConnectionStream.h"

#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace service {

// The open client connections of one listen address and the fixed pool of request
// threads that serves them. An idle connection holds no thread: it waits in an epoll set
// until its client sends, and the first free thread takes it, serves what was sent and
// puts it back (or closes it). A thread that has finished a request takes the next
// ready connection without sleeping, so under load a request costs no thread switch.
// Only as many threads as the process has CPUs watch the epoll set and serve ready
// connections at once (they hold a turn); the others wait for a turn. A thread that is
// about to wait for a client or for the disk (BeforeWaiting) gives its turn up first.
// So requests that never wait are served by as few threads as there are CPUs, one after
// another without thread switches, and a slow client never delays the others.
// A connection left idle past its deadline (the first request's, then the keep-alive
// one) is closed by a sweeper thread. At most maxConnections are open at once: past
// that, Add blocks the accepting thread, so further clients wait in the kernel's
// listen queue.
//
// httplib hands over each accepted connection through the TaskQueue interface: the
// accepting thread runs the job itself, and the job calls Add.
class ConnectionPool final : public httplib::TaskQueue {
public:
    struct Limits {
        int threads = 64;
        size_t maxConnections = 64 + 4096;
        int firstRequestMs = 10000;  // a new connection's wait for its first bytes
        int keepAliveMs = 5000;      // the wait for each next request
        int turns = 0;               // threads serving at once; 0: the CPUs the process may use
    };
    // Serves the requests a client has sent, on one of the pool's threads. requests
    // counts those served on the connection (kept between calls). Returns true to keep
    // the connection for the next request; on false the connection was shut down by the
    // caller and the pool closes it.
    using ServeFn = std::function<bool(ConnectionStream& stream, size_t& requests)>;

    ConnectionPool(const Limits& limits, ServeFn serve);
    ~ConnectionPool() override;

    // Runs fn on the calling (accepting) thread.
    void enqueue(std::function<void()> fn) override { fn(); }
    // Stops the threads after the requests they are serving and closes every connection.
    void shutdown() override;

    // Takes over an accepted socket (closing it on failure or during shutdown).
    void Add(int sock, std::unique_ptr<ConnectionStream> stream);

private:
    struct Slot;

    void Work();
    // Waits for a turn to serve; false when shutting down.
    bool TakeTurn();
    void GiveUpTurn();
    static void GiveUpTurnBeforeWaiting();
    void Sweep();
    // Serves a connection this thread has claimed, then parks or closes it.
    void Serve(uint32_t index, uint32_t generation);
    // Gives a claimed connection back to the epoll set; false when an event for it came
    // in meanwhile, so that it is still claimed and has bytes to serve.
    bool Park(uint32_t index, uint32_t generation);
    // Parks a claimed connection and raises its event again when bytes are waiting.
    void Rearm(uint32_t index, uint32_t generation);
    // Gives an event this thread took but will not handle back to the epoll set.
    void Reraise(uint64_t key);
    // The connection of an event's key, claimed for this thread when it was parked (true);
    // a busy one is marked pending instead, so that its server reads again (false).
    bool ClaimForEvent(uint64_t key, uint32_t& index, uint32_t& generation);
    void Close(uint32_t index, uint32_t generation, bool shutDownFirst);

    Limits m_limits;
    ServeFn m_serve;
    int m_epoll = -1;
    int m_wake = -1;  // an eventfd, readable once shutting down
    std::unique_ptr<Slot[]> m_slots;
    std::atomic<bool> m_stopping{false};

    std::mutex m_freeMutex;
    std::condition_variable m_hasRoom;
    std::vector<uint32_t> m_free;  // slots without a connection; guarded by m_freeMutex

    std::mutex m_turnMutex;
    std::condition_variable m_turnFree;
    int m_freeTurns = 1;  // guarded by m_turnMutex

    std::mutex m_sweepMutex;
    std::condition_variable m_sweepWake;
    std::vector<std::thread> m_threads;
    std::thread m_sweeper;
};

}  // namespace service
