#pragma once
#include <cstddef>

// Fills `buffer` with `size` bytes from the operating system's cryptographic random
// source (RtlGenRandom on Windows, getrandom on Linux). False only when the source
// fails, which on these systems does not happen in practice.
bool FillSecureRandom(void* buffer, size_t size);
