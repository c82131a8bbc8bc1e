#include "foundation/Random.h"

#include <atomic>
#include <chrono>
#include <cstdint>

#include "foundation/Log.h"
#include "foundation/SecureRandom.h"

const wchar_t kAlnumAlphabet[] = L"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

namespace {

constexpr int kAlnumLength = 62;

// Used only if the system source ever fails: a counter-based mix that at least never
// repeats within the process. Logged, since such names are guessable.
uint32_t FallbackWord() {
    static std::atomic<uint64_t> counter{0};
    static std::atomic<bool> logged{false};
    if (!logged.exchange(true)) Log("RandomString: system random source failed\n");
    uint64_t z = static_cast<uint64_t>(
                     std::chrono::steady_clock::now().time_since_epoch().count()) +
                 0x9E3779B97F4A7C15ull * (counter.fetch_add(1) + 1);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<uint32_t>(z ^ (z >> 31));
}

uint32_t RandomWord() {
    uint32_t word = 0;
    if (!FillSecureRandom(&word, sizeof(word))) word = FallbackWord();
    return word;
}

}  // namespace

unsigned RandomBelow(unsigned bound) {
    if (bound <= 1) return 0;
    // Reject the top partial range so that every value is equally likely.
    const uint32_t limit = UINT32_MAX - (UINT32_MAX % bound + 1) % bound;
    for (;;) {
        const uint32_t word = RandomWord();
        if (word <= limit) return word % bound;
    }
}

std::wstring RandomString(int count, const wchar_t* alphabet, int alphabetLength) {
    if (count <= 0) return std::wstring();
    if (!alphabet || alphabetLength <= 0) {
        alphabet = kAlnumAlphabet;
        alphabetLength = kAlnumLength;
    }
    std::wstring out;
    out.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        out += alphabet[RandomBelow(static_cast<unsigned>(alphabetLength))];
    }
    return out;
}

std::wstring RandomAlnumString(int count) {
    return RandomString(count);
}

std::string GenerateRandomId() {
    std::string id;
    for (wchar_t c : RandomString(8)) id += static_cast<char>(c);
    return id;
}
