#pragma once
// Work on the way from a key to a screenshot file asks the program's background helpers
// to hold back: a child process started meanwhile (curl.exe for an analytics event) is
// costly to start under Wine and would slow the shot down by hundreds of milliseconds.
// The runner threads of asynchronous child processes wait until no such work runs, for
// a bounded time, before they start their child. Any thread.
namespace QuietPeriod {

// Held while the time-critical work runs; scopes may nest and overlap across threads.
class Scope {
public:
    Scope();
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
};

// Returns once no Scope is held, or after `maxMs` milliseconds; true when it is quiet.
bool WaitUntilQuiet(int maxMs);

// True while a Scope is held.
bool IsActive();

}  // namespace QuietPeriod
