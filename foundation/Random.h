#pragma once
#include <string>

// Random letters and digits for temporary file names and locally made identifiers.
// Every character comes from the system's cryptographic random source without modulo
// bias, so names made in the same millisecond (or on another machine with the same
// uptime) differ and cannot be guessed. Callable from any thread.

// The 62 characters "0-9A-Za-z" used when no alphabet is given.
extern const wchar_t kAlnumAlphabet[];

// `count` characters, each drawn from the first `alphabetLength` characters of
// `alphabet`, or from kAlnumAlphabet when `alphabet` is null or `alphabetLength` is not
// positive. A count of 0 or less gives "".
std::wstring RandomString(int count, const wchar_t* alphabet = nullptr, int alphabetLength = 0);

// `count` letters and digits (the same as RandomString(count)).
std::wstring RandomAlnumString(int count);

// 8 letters and digits, narrow: the stand-in identifier when no server identifier is at
// hand.
std::string GenerateRandomId();

// A uniform random number in [0, bound); 0 when bound is 0.
unsigned RandomBelow(unsigned bound);
