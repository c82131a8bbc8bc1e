#include "service/http/ConnectionPool.h"

#include "service/http/RequestContext.h"
#include "service/http/RequestLog.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sched.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace service {
namespace {

// A slot's tag: its generation (counted up each time its connection is closed, so that
// an event read for an earlier connection is recognised and ignored) and its state.
//   Free     no connection
//   Parked   idle in the epoll set; a thread with an event for it, or the sweeper,
//            claims it by moving it to Busy
//   Busy     claimed by one thread, which alone uses the socket and the stream
//   Pending  claimed, and an event came meanwhile: the claiming thread looks again
// The set is edge-triggered: each arrival of bytes gives one event, and an event that
// finds the connection claimed leaves it Pending, so none is lost.
constexpr uint64_t kFree = 0, kParked = 1, kBusy = 2, kPending = 3;
constexpr uint64_t kWakeKey = ~0ULL;

uint64_t Tag(uint32_t generation, uint64_t state) { return (static_cast<uint64_t>(generation) << 2) | state; }
uint32_t GenerationOf(uint64_t tag) { return static_cast<uint32_t>(tag >> 2); }
uint64_t Key(uint32_t index, uint32_t generation) { return (static_cast<uint64_t>(generation) << 32) | index; }

// The pool whose turn the calling thread holds, if any.
thread_local ConnectionPool* t_turnOf = nullptr;

// The events the calling thread has taken from the epoll set and not yet handled: one
// wait serves several ready connections.
constexpr int kEventBatch = 32;
struct EventBatch {
    epoll_event events[kEventBatch];
    int next = 0, count = 0;
};
thread_local EventBatch t_batch;

int CpusOfProcess() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
    return std::max(1, CPU_COUNT(&set));
}

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

struct ConnectionPool::Slot {
    std::atomic<uint64_t> tag{Tag(0, kFree)};
    std::atomic<int64_t> deadlineMs{0};  // when a parked connection is closed
    // Used only by the thread that has the slot claimed.
    int sock = -1;
    std::unique_ptr<ConnectionStream> stream;
    size_t requests = 0;
};

ConnectionPool::ConnectionPool(const Limits& limits, ServeFn serve)
    : m_limits(limits), m_serve(std::move(serve)), m_slots(new Slot[limits.maxConnections]) {
    m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
    m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    epoll_event ev{};
    ev.events = EPOLLIN;  // level-triggered and never read: every thread sees it
    ev.data.u64 = kWakeKey;
    if (m_epoll < 0 || m_wake < 0 || ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wake, &ev) != 0) {
        WriteLogLine(std::string("connection pool: cannot create its epoll set: ") + std::strerror(errno));
        if (m_epoll >= 0) ::close(m_epoll);
        m_epoll = -1;
        return;
    }
    m_freeTurns = m_limits.turns > 0 ? m_limits.turns : CpusOfProcess();
    m_free.reserve(m_limits.maxConnections);
    for (size_t i = m_limits.maxConnections; i > 0; --i) m_free.push_back(static_cast<uint32_t>(i - 1));
    for (int i = 0; i < m_limits.threads; ++i) m_threads.emplace_back([this] { Work(); });
    m_sweeper = std::thread([this] { Sweep(); });
}

ConnectionPool::~ConnectionPool() {
    shutdown();
    if (m_wake >= 0) ::close(m_wake);
}

void ConnectionPool::shutdown() {
    {
        std::lock_guard<std::mutex> lock(m_sweepMutex);
        m_stopping = true;
    }
    m_sweepWake.notify_all();
    {
        std::lock_guard<std::mutex> lock(m_freeMutex);
    }
    m_hasRoom.notify_all();
    {
        std::lock_guard<std::mutex> lock(m_turnMutex);
    }
    m_turnFree.notify_all();
    if (m_wake >= 0) {
        uint64_t one = 1;
        ssize_t n = ::write(m_wake, &one, sizeof one);
        (void)n;
    }
    for (std::thread& t : m_threads) {
        if (t.joinable()) t.join();
    }
    m_threads.clear();
    if (m_sweeper.joinable()) m_sweeper.join();
    if (m_epoll < 0) return;
    // No thread is left: close what is still open.
    for (size_t i = 0; i < m_limits.maxConnections; ++i) {
        Slot& s = m_slots[i];
        uint64_t t = s.tag.load(std::memory_order_acquire);
        if ((t & 3) != kFree) Close(static_cast<uint32_t>(i), GenerationOf(t), true);
    }
    ::close(m_epoll);
    m_epoll = -1;
}

void ConnectionPool::Add(int sock, std::unique_ptr<ConnectionStream> stream) {
    uint32_t index = 0;
    {
        std::unique_lock<std::mutex> lock(m_freeMutex);
        m_hasRoom.wait(lock, [this] { return !m_free.empty() || m_stopping || m_epoll < 0; });
        if (m_stopping || m_epoll < 0) {
            lock.unlock();
            ::shutdown(sock, SHUT_RDWR);
            ::close(sock);
            return;
        }
        index = m_free.back();
        m_free.pop_back();
    }
    Slot& s = m_slots[index];
    uint32_t generation = GenerationOf(s.tag.load(std::memory_order_relaxed));
    s.sock = sock;
    s.stream = std::move(stream);
    s.requests = 0;
    s.deadlineMs.store(NowMs() + m_limits.firstRequestMs, std::memory_order_relaxed);
    // Claimed by this thread until it is in the set; an event that comes first leaves it
    // pending, and parking raises that event again.
    s.tag.store(Tag(generation, kBusy), std::memory_order_release);
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLET;
    ev.data.u64 = Key(index, generation);
    if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, sock, &ev) != 0) {
        WriteLogLine(std::string("connection pool: cannot watch a connection: ") + std::strerror(errno));
        Close(index, generation, true);
        return;
    }
    if (!Park(index, generation)) Rearm(index, generation);
}

bool ConnectionPool::TakeTurn() {
    FlushLogLines();
    std::unique_lock<std::mutex> lock(m_turnMutex);
    m_turnFree.wait(lock, [this] { return m_freeTurns > 0 || m_stopping; });
    if (m_stopping) return false;
    --m_freeTurns;
    t_turnOf = this;
    return true;
}

void ConnectionPool::GiveUpTurn() {
    t_turnOf = nullptr;
    FlushLogLines();
    // The events not handled yet go back to the set, for the next thread with a turn.
    EventBatch& batch = t_batch;
    while (batch.next < batch.count) Reraise(batch.events[batch.next++].data.u64);
    batch.next = batch.count = 0;
    {
        std::lock_guard<std::mutex> lock(m_turnMutex);
        ++m_freeTurns;
    }
    m_turnFree.notify_one();
}

void ConnectionPool::GiveUpTurnBeforeWaiting() {
    FlushLogLines();
    if (t_turnOf) t_turnOf->GiveUpTurn();
}

void ConnectionPool::Work() {
    SetWaitHook(&ConnectionPool::GiveUpTurnBeforeWaiting);
    // The log lines of the requests served from one batch of events leave together,
    // before the next wait.
    DeferLogLines(true);
    EventBatch& batch = t_batch;
    for (;;) {
        if (!t_turnOf && !TakeTurn()) break;
        if (batch.next == batch.count) {
            FlushLogLines();
            int n = ::epoll_wait(m_epoll, batch.events, kEventBatch, -1);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                WriteLogLine(std::string("connection pool: waiting for connections failed: ") + std::strerror(errno));
                GiveUpTurn();
                break;
            }
            batch.next = 0;
            batch.count = n;
            if (n == 0) continue;
        }
        const epoll_event ev = batch.events[batch.next++];
        if (ev.data.u64 == kWakeKey) {
            GiveUpTurn();
            break;
        }
        uint32_t index = 0, generation = 0;
        if (ClaimForEvent(ev.data.u64, index, generation)) Serve(index, generation);
    }
    DeferLogLines(false);
}

void ConnectionPool::Serve(uint32_t index, uint32_t generation) {
    Slot& s = m_slots[index];
    bool ready = true;  // claimed for an event: bytes (or the client's end) are there
    for (;;) {
        if (ready) {
            if (m_stopping.load(std::memory_order_relaxed)) {
                Close(index, generation, true);
                return;
            }
            if (!m_serve(*s.stream, s.requests)) {
                Close(index, generation, false);
                return;
            }
        }
        int waitMs = s.requests == 0 ? m_limits.firstRequestMs : m_limits.keepAliveMs;
        s.deadlineMs.store(NowMs() + waitMs, std::memory_order_relaxed);
        if (Park(index, generation)) return;
        // Bytes arrived while it was claimed; the event may also have been for bytes
        // already read.
        ready = s.stream->ReadAvailable();
    }
}

void ConnectionPool::Reraise(uint64_t key) {
    if (key == kWakeKey) return;  // level-triggered: it stays raised
    uint32_t index = 0, generation = 0;
    if (ClaimForEvent(key, index, generation)) Rearm(index, generation);
}

bool ConnectionPool::ClaimForEvent(uint64_t key, uint32_t& index, uint32_t& generation) {
    index = static_cast<uint32_t>(key);
    generation = static_cast<uint32_t>(key >> 32);
    if (index >= m_limits.maxConnections) return false;
    Slot& s = m_slots[index];
    uint64_t t = s.tag.load(std::memory_order_acquire);
    while (GenerationOf(t) == generation) {
        uint64_t state = t & 3;
        if (state == kParked) {
            if (s.tag.compare_exchange_weak(t, Tag(generation, kBusy), std::memory_order_acq_rel)) return true;
        } else if (state == kBusy) {
            // Its server looks for more bytes before it parks the connection again.
            if (s.tag.compare_exchange_weak(t, Tag(generation, kPending), std::memory_order_acq_rel)) return false;
        } else {
            return false;  // already pending, or closed
        }
    }
    return false;
}

void ConnectionPool::Rearm(uint32_t index, uint32_t generation) {
    Slot& s = m_slots[index];
    do {
        // Registering again raises an event when bytes are waiting.
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLET;
        ev.data.u64 = Key(index, generation);
        ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, s.sock, &ev);
    } while (!Park(index, generation));
}

bool ConnectionPool::Park(uint32_t index, uint32_t generation) {
    Slot& s = m_slots[index];
    uint64_t busy = Tag(generation, kBusy);
    if (s.tag.compare_exchange_strong(busy, Tag(generation, kParked), std::memory_order_acq_rel)) return true;
    s.tag.store(Tag(generation, kBusy), std::memory_order_release);
    return false;
}

void ConnectionPool::Close(uint32_t index, uint32_t generation, bool shutDownFirst) {
    Slot& s = m_slots[index];
    if (s.sock >= 0) {
        ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, s.sock, nullptr);
        if (shutDownFirst) ::shutdown(s.sock, SHUT_RDWR);
        ::close(s.sock);
    }
    s.sock = -1;
    s.stream.reset();
    s.requests = 0;
    s.tag.store(Tag(generation + 1, kFree), std::memory_order_release);
    {
        std::lock_guard<std::mutex> lock(m_freeMutex);
        m_free.push_back(index);
    }
    m_hasRoom.notify_one();
}

void ConnectionPool::Sweep() {
    const int shortest = std::min(m_limits.firstRequestMs, m_limits.keepAliveMs);
    const auto interval = std::chrono::milliseconds(std::clamp(shortest / 4, 10, 250));
    std::unique_lock<std::mutex> lock(m_sweepMutex);
    while (!m_stopping) {
        m_sweepWake.wait_for(lock, interval);
        if (m_stopping) break;
        int64_t now = NowMs();
        for (size_t i = 0; i < m_limits.maxConnections; ++i) {
            Slot& s = m_slots[i];
            uint64_t t = s.tag.load(std::memory_order_acquire);
            if ((t & 3) != kParked || s.deadlineMs.load(std::memory_order_relaxed) > now) continue;
            uint32_t generation = GenerationOf(t);
            uint32_t index = static_cast<uint32_t>(i);
            if (!s.tag.compare_exchange_strong(t, Tag(generation, kBusy), std::memory_order_acq_rel)) continue;
            if (s.deadlineMs.load(std::memory_order_relaxed) <= now) {
                Close(index, generation, true);
                continue;
            }
            // Served and parked again since the look: hand it back. An event that came
            // meanwhile is raised again, for a request thread to take.
            if (!Park(index, generation)) Rearm(index, generation);
        }
    }
}

}  // namespace service
