#pragma once
#include <cstddef>
#include <cstdint>

// The CRC-32 of the zip format (reflected polynomial 0xEDB88320, initial and final
// inversion). Pass the previous result to continue over more data; start with 0.
uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size);
