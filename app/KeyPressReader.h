#pragma once
#include <array>
#include <functional>

// One read of a key: down now, and pressed since the previous read of that key (the low
// bit of GetAsyncKeyState: set when the key went down, cleared by the read).
struct KeyRead {
    bool down = false;
    bool pressedSince = false;
};
using KeyReadFunction = std::function<KeyRead(int virtualKey)>;

// The hotkey poller's view of the keyboard in one pass. A pass that comes late (under
// Wine a 10 ms poll may come tens of milliseconds late, and up keys are even answered
// from a cache for 50 ms) would miss a short press that began and ended in between: a
// key therefore counts as held when it is down, or when it was pressed since the
// previous read while the previous pass saw it up. The "up" condition keeps one press
// from counting twice (a key seen held, then released with the bit left by its own
// auto-repeat), and the first read of a key ignores the bit (a press from before).
// Each key is read once per pass, so every combination of a pass sees the same answer.
// One thread.
class KeyPressReader {
public:
    explicit KeyPressReader(KeyReadFunction read) : m_read(std::move(read)) {}
    // Starts a pass: every key is read again at its first question.
    void BeginPass() {
        if (++m_pass == 0) m_pass = 1;
    }
    bool IsHeld(int virtualKey);

private:
    struct Key {
        unsigned pass = 0;        // the pass of the last read; 0: never read
        bool down = false;        // down at that read
        bool held = false;        // the answer of that pass
    };
    KeyReadFunction m_read;
    unsigned m_pass = 1;
    std::array<Key, 256> m_keys{};
};
