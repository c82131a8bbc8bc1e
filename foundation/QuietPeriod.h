#pragma once
#include <atomic>
#include <cstdint>

// Work on which the user waits (a key to a screenshot file, the region editor's first
// frame, an upload's start) asks the program's background helpers to hold back: a child
// process started meanwhile (curl.exe for an analytics event) is costly to start under
// Wine and would slow that work down. The runner threads of asynchronous child processes
// wait until no such work runs, for a bounded time, before they start their child, and
// the ones held back start in the order in which they were requested. Any thread.
namespace QuietPeriod {

// Held while the time-critical work runs; scopes may nest and overlap across threads.
class Scope {
public:
    Scope();
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
};

// A hold for work that crosses threads (a key seen on the poller thread, the editor
// painted on the UI thread): it lasts until End(token) or `maxMs` milliseconds,
// whichever comes first, so a hold whose end never comes cannot keep anything waiting.
using Token = uint64_t;
Token Begin(int maxMs);
// Ends a hold; 0 and holds that have ended or expired are ignored.
void End(Token token);

// One flow's hold, begun on one thread and ended on another: Begin replaces (and ends)
// the slot's previous hold; End ends the current one. Lock-free; any thread.
class Slot {
public:
    explicit Slot(int maxMs) : m_maxMs(maxMs) {}
    Slot(const Slot&) = delete;
    Slot& operator=(const Slot&) = delete;
    void Begin() { QuietPeriod::End(m_token.exchange(QuietPeriod::Begin(m_maxMs))); }
    void End() { QuietPeriod::End(m_token.exchange(0)); }

private:
    const int m_maxMs;
    std::atomic<Token> m_token{0};
};

// Ends a slot's hold on every way out of a scope.
class SlotEnd {
public:
    explicit SlotEnd(Slot& slot) : m_slot(slot) {}
    ~SlotEnd() { m_slot.End(); }
    SlotEnd(const SlotEnd&) = delete;
    SlotEnd& operator=(const SlotEnd&) = delete;

private:
    Slot& m_slot;
};

// The program is ending: from now on nothing holds, so the events sent before the exit
// (its own among them) go at once.
void EndAll();

// Returns once nothing holds, or after `maxMs` milliseconds; true when it is quiet.
bool WaitUntilQuiet(int maxMs);

// True while a Scope or an unexpired hold is held.
bool IsActive();

// A place in the line of child starts, taken when the start is requested. Wait returns
// when nothing holds and every place taken before this one has started (or after `maxMs`
// milliseconds); Started lets the next place go. A place that is dropped without
// Started lets the next go as well.
class Turn {
public:
    Turn();
    ~Turn();
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;
    // True when it ended quiet and in turn, false at the time bound.
    bool Wait(int maxMs);
    void Started();

private:
    uint64_t m_place;
    bool m_started = false;
};

}  // namespace QuietPeriod
