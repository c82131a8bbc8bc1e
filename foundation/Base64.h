#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Base64 of RFC 4648 (standard alphabet, "=" padding, no line breaks).

// The encoding of the bytes of `data`; "" for "".
std::string Base64Encode(const std::string& data);

// Writes the 4 * ceil(length / 3) characters of the encoding to `out` (no terminating
// null) and returns that count. Returns 0 and writes nothing when `capacity` is below
// that count plus one.
size_t Base64EncodeBytes(const uint8_t* data, size_t length, char* out, size_t capacity);

// Characters Base64EncodeBytes needs for `length` bytes, or 0 when that overflows.
size_t Base64EncodedLength(size_t length);
