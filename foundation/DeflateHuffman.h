#pragma once
#include <cstdint>
#include <vector>

// Huffman code construction for the deflate encoder (RFC 1951, 3.2.2).

// Code lengths for the frequencies, none longer than `maxBits`; a symbol of frequency 0
// gets length 0. When fewer than two symbols occur, two get length 1 (the used one and
// the lowest other), so every decoder sees a complete code.
void BuildCodeLengths(const uint32_t* freqs, int count, int maxBits, uint8_t* lengths);

// Canonical codes for the lengths, bit-reversed for an LSB-first bit writer.
void BuildReversedCodes(const uint8_t* lengths, int count, uint16_t* codes);

// One step of the code-length alphabet: symbol 0-18 and its extra bits.
struct CodeLengthItem {
    uint8_t symbol;
    uint8_t extra;
};

// Run-length form of a list of code lengths: 16 repeats the previous length 3-6 times,
// 17 writes 3-10 zeros, 18 writes 11-138 zeros.
void AppendCodeLengthRuns(const uint8_t* lengths, int count, std::vector<CodeLengthItem>& out);
