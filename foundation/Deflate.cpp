#include "foundation/Deflate.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/DeflateHuffman.h"

namespace {

constexpr int kWindowSize = 32768;          // the sliding window
constexpr int kWindowMask = kWindowSize - 1;
constexpr int kBufferSize = 2 * kWindowSize;  // window plus read-ahead
constexpr int kHashBits = 15;
constexpr int kHashSize = 1 << kHashBits;
constexpr int kHashMask = kHashSize - 1;
constexpr int kHashShift = 5;               // three shifts push a byte out of 15 bits
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 258;
constexpr int kMinLookahead = kMaxMatch + kMinMatch + 1;
constexpr int kMaxDist = kWindowSize - kMinLookahead;  // 32506
constexpr int kTooFar = 4096;               // length-3 matches farther than this cost more than literals
constexpr int kLitBufferSize = 32768;
constexpr int kDistBufferSize = 32768;
constexpr int kOutBufferSize = 16384;

constexpr int kLiterals = 256;
constexpr int kEndBlock = 256;
constexpr int kLengthCodes = 29;
constexpr int kLitCodes = kLiterals + 1 + kLengthCodes;  // 286
constexpr int kDistCodes = 30;
constexpr int kBlCodes = 19;
constexpr int kMaxBits = 15;
constexpr int kMaxBlBits = 7;

// RFC 1951, 3.2.5.
constexpr uint8_t kLengthExtra[kLengthCodes] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kLengthBase[kLengthCodes] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,
                                                15, 17, 19, 23, 27, 31, 35, 43, 51,  59,
                                                67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kDistExtra[kDistCodes] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                            6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr uint16_t kDistBase[kDistCodes] = {1,    2,    3,    4,    5,    7,     9,     13,
                                            17,   25,   33,   49,   65,   97,    129,   193,
                                            257,  385,  513,  769,  1025, 1537,  2049,  3073,
                                            4097, 6145, 8193, 12289, 16385, 24577};
// RFC 1951, 3.2.7: the order of the code-length code lengths in a block header.
constexpr uint8_t kBlOrder[kBlCodes] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
constexpr uint8_t kBlExtra[kBlCodes] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 7};

// Matcher effort per level: good length (chains are cut to a quarter once the previous
// match is this long), lazy length (no lazy search once a match is this long; the most
// inserted for the greedy levels), nice length (a match this long ends the search) and
// the longest chain followed.
struct LevelConfig {
    int good, lazy, nice, chain;
};
constexpr LevelConfig kLevels[9] = {
    {0, 0, 0, 0},     {4, 4, 8, 4},       {4, 5, 16, 8},     {4, 6, 32, 32},     {4, 4, 16, 16},
    {8, 16, 32, 32},  {8, 16, 128, 128},  {8, 32, 128, 256}, {32, 128, 258, 1024}};

struct Tables {
    uint8_t lengthCode[256];  // match length - 3 -> length code index
    uint8_t distCode[512];    // distance - 1 -> code, for the first 256, then by 128s
    uint8_t fixedLitLen[kLitCodes + 2];
    uint16_t fixedLitCode[kLitCodes + 2];
    uint8_t fixedDistLen[kDistCodes];
    uint16_t fixedDistCode[kDistCodes];
    Tables() {
        for (int code = 0; code < kLengthCodes; ++code) {
            const int span = 1 << kLengthExtra[code];
            for (int k = 0; k < span && kLengthBase[code] - 3 + k < 256; ++k) {
                lengthCode[kLengthBase[code] - 3 + k] = static_cast<uint8_t>(code);
            }
        }
        // Length 258 has its own code, not the last slot of code 27.
        lengthCode[255] = kLengthCodes - 1;
        for (int code = 0; code < kDistCodes; ++code) {
            const int span = 1 << kDistExtra[code];
            for (int k = 0; k < span; ++k) {
                const int d = kDistBase[code] - 1 + k;  // 0-based distance
                if (d < 256) distCode[d] = static_cast<uint8_t>(code);
                else if ((d & 127) == 0) distCode[256 + (d >> 7)] = static_cast<uint8_t>(code);
            }
        }
        for (int i = 0; i < kLitCodes + 2; ++i) {
            fixedLitLen[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
        }
        BuildReversedCodes(fixedLitLen, kLitCodes + 2, fixedLitCode);
        std::fill(std::begin(fixedDistLen), std::end(fixedDistLen), uint8_t{5});
        BuildReversedCodes(fixedDistLen, kDistCodes, fixedDistCode);
    }
    int DistCode(int dist0) const { return dist0 < 256 ? distCode[dist0] : distCode[256 + (dist0 >> 7)]; }
};

const Tables& GetTables() {
    static const Tables tables;
    return tables;
}

}  // namespace

struct DeflateEncoder::State {
    const Tables& t = GetTables();
    LevelConfig cfg{};
    int level = 8;
    bool lazy = true;

    // Window and matcher. Positions are indices into `window`; a chain entry of 0 ends
    // the chain, so position 0 is never a match source.
    std::vector<uint8_t> window = std::vector<uint8_t>(kBufferSize + kMaxMatch, 0);
    std::vector<uint16_t> prev = std::vector<uint16_t>(kWindowSize, 0);
    std::vector<uint16_t> head = std::vector<uint16_t>(kHashSize, 0);
    unsigned hash = 0;
    int strstart = 0;
    int lookahead = 0;
    long blockStart = 0;  // negative once the block's start has slid out of the window
    int matchStart = 0;
    bool eof = false;

    // Pending symbols of the current block: dist 0 marks a literal.
    std::vector<uint16_t> dists = std::vector<uint16_t>(kLitBufferSize);
    std::vector<uint8_t> lits = std::vector<uint8_t>(kLitBufferSize);
    int lastLit = 0;
    int lastDist = 0;
    uint32_t litFreq[kLitCodes + 2] = {};
    uint32_t distFreq[kDistCodes] = {};

    // Output.
    uint64_t bitBuf = 0;
    int bitCount = 0;
    std::vector<uint8_t> out = std::vector<uint8_t>(kOutBufferSize);
    size_t outLen = 0;
    uint64_t written = 0;
    bool writeFailed = false;
    bool readFailed = false;
    IDeflateSource* source = nullptr;
    IDeflateSink* sink = nullptr;

    void Reset() {
        std::fill(head.begin(), head.end(), uint16_t{0});
        std::fill(prev.begin(), prev.end(), uint16_t{0});
        std::fill(window.begin(), window.end(), uint8_t{0});
        hash = 0;
        strstart = lookahead = matchStart = 0;
        blockStart = 0;
        eof = false;
        bitBuf = 0;
        bitCount = 0;
        outLen = 0;
        written = 0;
        writeFailed = readFailed = false;
        ResetBlock();
    }

    void ResetBlock() {
        std::fill(std::begin(litFreq), std::end(litFreq), 0u);
        std::fill(std::begin(distFreq), std::end(distFreq), 0u);
        litFreq[kEndBlock] = 1;
        lastLit = lastDist = 0;
    }

    // ---- output ----
    void FlushOut() {
        if (outLen == 0 || writeFailed) {
            outLen = 0;
            return;
        }
        if (!sink->Write(out.data(), outLen)) writeFailed = true;
        else written += outLen;
        outLen = 0;
    }
    void PutByte(uint8_t b) {
        out[outLen++] = b;
        if (outLen == out.size()) FlushOut();
    }
    void PutBits(uint32_t value, int count) {
        bitBuf |= static_cast<uint64_t>(value) << bitCount;
        bitCount += count;
        while (bitCount >= 8) {
            PutByte(static_cast<uint8_t>(bitBuf));
            bitBuf >>= 8;
            bitCount -= 8;
        }
    }
    void AlignToByte() {
        if (bitCount > 0) PutBits(0, 8 - bitCount);
    }

    // ---- input ----
    void InsertString(int pos, unsigned& matchHead) {
        hash = ((hash << kHashShift) ^ window[static_cast<size_t>(pos) + kMinMatch - 1]) & kHashMask;
        matchHead = head[hash];
        prev[pos & kWindowMask] = static_cast<uint16_t>(matchHead);
        head[hash] = static_cast<uint16_t>(pos);
    }

    void FillWindow() {
        do {
            int more = kBufferSize - lookahead - strstart;
            if (strstart >= kWindowSize + kMaxDist) {
                std::memcpy(window.data(), window.data() + kWindowSize, kWindowSize);
                matchStart -= kWindowSize;
                strstart -= kWindowSize;
                blockStart -= kWindowSize;
                for (auto& h : head) h = static_cast<uint16_t>(h >= kWindowSize ? h - kWindowSize : 0);
                for (auto& p : prev) p = static_cast<uint16_t>(p >= kWindowSize ? p - kWindowSize : 0);
                more += kWindowSize;
            }
            if (eof || more <= 0) return;
            const long got = source->Read(window.data() + strstart + lookahead, static_cast<size_t>(more));
            if (got < 0) {
                readFailed = true;
                eof = true;
                return;
            }
            if (got == 0) {
                eof = true;
                return;
            }
            const bool first = strstart == 0 && lookahead == 0;
            lookahead += static_cast<int>(got);
            if (first && lookahead >= kMinMatch - 1) {
                hash = ((static_cast<unsigned>(window[0]) << kHashShift) ^ window[1]) & kHashMask;
            }
        } while (lookahead < kMinLookahead && !eof);
    }

    static int MatchLength(const uint8_t* a, const uint8_t* b) {
        int len = 0;
        while (len + 8 <= kMaxMatch) {
            uint64_t x, y;
            std::memcpy(&x, a + len, 8);
            std::memcpy(&y, b + len, 8);
            const uint64_t diff = x ^ y;
            if (diff != 0) return len + (__builtin_ctzll(diff) >> 3);
            len += 8;
        }
        while (len < kMaxMatch && a[len] == b[len]) ++len;
        return len;
    }

    int LongestMatch(unsigned curMatch, int prevLength) {
        int chain = cfg.chain;
        int bestLen = prevLength;
        int nice = std::min(cfg.nice, lookahead);
        const int limit = strstart > kMaxDist ? strstart - kMaxDist : 0;
        if (prevLength >= cfg.good) chain >>= 2;
        const uint8_t* scan = window.data() + strstart;
        do {
            const uint8_t* match = window.data() + curMatch;
            if (match[bestLen] != scan[bestLen] || match[bestLen - 1] != scan[bestLen - 1] ||
                match[0] != scan[0] || match[1] != scan[1]) {
                continue;
            }
            const int len = MatchLength(scan, match);
            if (len > bestLen) {
                matchStart = static_cast<int>(curMatch);
                bestLen = len;
                if (len >= nice) break;
            }
        } while ((curMatch = prev[curMatch & kWindowMask]) > static_cast<unsigned>(limit) && --chain != 0);
        return std::min(bestLen, lookahead);
    }

    // ---- symbols ----
    // Records a literal (dist 0) or a match; true when the block should end here.
    bool Tally(unsigned dist, unsigned lc) {
        dists[static_cast<size_t>(lastLit)] = static_cast<uint16_t>(dist);
        lits[static_cast<size_t>(lastLit)] = static_cast<uint8_t>(lc);
        ++lastLit;
        if (dist == 0) {
            litFreq[lc]++;
        } else {
            ++lastDist;
            litFreq[kLiterals + 1 + t.lengthCode[lc]]++;
            distFreq[t.DistCode(static_cast<int>(dist) - 1)]++;
        }
        if ((lastLit & 0xfff) == 0 && level > 2) {
            // A rough upper bound of the block so far: 8 bits a symbol plus the
            // distance codes. A block that already halves its input and is mostly
            // literals is better ended now, before its statistics dilute.
            uint64_t outLength = static_cast<uint64_t>(lastLit) * 8;
            for (int d = 0; d < kDistCodes; ++d) outLength += static_cast<uint64_t>(distFreq[d]) * (5 + kDistExtra[d]);
            outLength >>= 3;
            const uint64_t inLength = static_cast<uint64_t>(strstart - blockStart);
            if (lastDist < lastLit / 2 && outLength < inLength / 2) return true;
        }
        return lastLit == kLitBufferSize - 1 || lastDist == kDistBufferSize;
    }

    // ---- blocks ----
    void SendSymbols(const uint8_t* litLen, const uint16_t* litCode, const uint8_t* distLen,
                     const uint16_t* distCodeBits) {
        for (int i = 0; i < lastLit; ++i) {
            const unsigned dist = dists[static_cast<size_t>(i)];
            const unsigned lc = lits[static_cast<size_t>(i)];
            if (dist == 0) {
                PutBits(litCode[lc], litLen[lc]);
                continue;
            }
            const int code = t.lengthCode[lc];
            PutBits(litCode[kLiterals + 1 + code], litLen[kLiterals + 1 + code]);
            if (kLengthExtra[code] != 0) PutBits(lc + 3 - kLengthBase[code], kLengthExtra[code]);
            const int d0 = static_cast<int>(dist) - 1;
            const int dcode = t.DistCode(d0);
            PutBits(distCodeBits[dcode], distLen[dcode]);
            if (kDistExtra[dcode] != 0) PutBits(static_cast<unsigned>(d0 + 1 - kDistBase[dcode]), kDistExtra[dcode]);
        }
        PutBits(litCode[kEndBlock], litLen[kEndBlock]);
    }

    uint64_t SymbolBits(const uint8_t* litLen, const uint8_t* distLen) const {
        uint64_t bits = 0;
        for (int i = 0; i < kLitCodes; ++i) {
            const int extra = i > kLiterals ? kLengthExtra[i - kLiterals - 1] : 0;
            bits += static_cast<uint64_t>(litFreq[i]) * static_cast<uint64_t>(litLen[i] + extra);
        }
        for (int i = 0; i < kDistCodes; ++i) {
            bits += static_cast<uint64_t>(distFreq[i]) * static_cast<uint64_t>(distLen[i] + kDistExtra[i]);
        }
        return bits;
    }

    void FlushBlock(bool last) {
        // Dynamic codes and their header.
        uint8_t litLen[kLitCodes];
        uint8_t distLen[kDistCodes];
        BuildCodeLengths(litFreq, kLitCodes, kMaxBits, litLen);
        BuildCodeLengths(distFreq, kDistCodes, kMaxBits, distLen);
        int litCount = kLitCodes;
        while (litCount > 257 && litLen[litCount - 1] == 0) --litCount;
        int distCount = kDistCodes;
        while (distCount > 1 && distLen[distCount - 1] == 0) --distCount;
        std::vector<CodeLengthItem> runs;
        AppendCodeLengthRuns(litLen, litCount, runs);
        AppendCodeLengthRuns(distLen, distCount, runs);
        uint32_t blFreq[kBlCodes] = {};
        for (const auto& r : runs) blFreq[r.symbol]++;
        uint8_t blLen[kBlCodes];
        BuildCodeLengths(blFreq, kBlCodes, kMaxBlBits, blLen);
        int blCount = kBlCodes;
        while (blCount > 4 && blLen[kBlOrder[blCount - 1]] == 0) --blCount;

        uint64_t dynamicBits = 3 + 5 + 5 + 4 + 3 * static_cast<uint64_t>(blCount);
        for (const auto& r : runs) dynamicBits += blLen[r.symbol] + kBlExtra[r.symbol];
        dynamicBits += SymbolBits(litLen, distLen);
        const uint64_t fixedBits = 3 + SymbolBits(t.fixedLitLen, t.fixedDistLen);

        uint64_t bestBytes = (dynamicBits + 7) >> 3;
        const uint64_t fixedBytes = (fixedBits + 7) >> 3;
        if (fixedBytes <= bestBytes) bestBytes = fixedBytes;
        const long storedLen = strstart - blockStart;

        if (blockStart >= 0 && static_cast<uint64_t>(storedLen) + 4 <= bestBytes) {
            SendStored(window.data() + blockStart, static_cast<size_t>(storedLen), last);
        } else if (fixedBytes == bestBytes) {
            PutBits((1u << 1) | (last ? 1u : 0u), 3);
            SendSymbols(t.fixedLitLen, t.fixedLitCode, t.fixedDistLen, t.fixedDistCode);
        } else {
            uint16_t litCode[kLitCodes];
            uint16_t distCodeBits[kDistCodes];
            uint16_t blCode[kBlCodes];
            BuildReversedCodes(litLen, kLitCodes, litCode);
            BuildReversedCodes(distLen, kDistCodes, distCodeBits);
            BuildReversedCodes(blLen, kBlCodes, blCode);
            PutBits((2u << 1) | (last ? 1u : 0u), 3);
            PutBits(static_cast<unsigned>(litCount - 257), 5);
            PutBits(static_cast<unsigned>(distCount - 1), 5);
            PutBits(static_cast<unsigned>(blCount - 4), 4);
            for (int i = 0; i < blCount; ++i) PutBits(blLen[kBlOrder[i]], 3);
            for (const auto& r : runs) {
                PutBits(blCode[r.symbol], blLen[r.symbol]);
                if (kBlExtra[r.symbol] != 0) PutBits(r.extra, kBlExtra[r.symbol]);
            }
            SendSymbols(litLen, litCode, distLen, distCodeBits);
        }
        if (last) AlignToByte();
        blockStart = strstart;
        ResetBlock();
    }

    void SendStored(const uint8_t* data, size_t len, bool last) {
        // One stored block holds at most 65535 bytes; a block here never reaches that,
        // but split anyway rather than write a wrong length.
        do {
            const size_t part = std::min<size_t>(len, 65535);
            const bool final = last && part == len;
            PutBits(final ? 1u : 0u, 3);
            AlignToByte();
            PutByte(static_cast<uint8_t>(part));
            PutByte(static_cast<uint8_t>(part >> 8));
            PutByte(static_cast<uint8_t>(~part));
            PutByte(static_cast<uint8_t>(~part >> 8));
            for (size_t i = 0; i < part; ++i) PutByte(data[i]);
            data += part;
            len -= part;
        } while (len > 0);
    }

    // ---- the matchers ----
    void RunLazy() {
        int matchLength = kMinMatch - 1;
        int prevLength;
        int prevMatch;
        bool matchAvailable = false;
        for (;;) {
            if (lookahead < kMinLookahead) {
                FillWindow();
                if (lookahead == 0) break;
            }
            unsigned hashHead = 0;
            if (lookahead >= kMinMatch) InsertString(strstart, hashHead);
            prevLength = matchLength;
            prevMatch = matchStart;
            matchLength = kMinMatch - 1;
            if (hashHead != 0 && prevLength < cfg.lazy &&
                strstart - static_cast<int>(hashHead) <= kMaxDist) {
                matchLength = LongestMatch(hashHead, prevLength);
                if (matchLength == kMinMatch && strstart - matchStart > kTooFar) matchLength = kMinMatch - 1;
            }
            if (prevLength >= kMinMatch && matchLength <= prevLength) {
                // The previous position's match wins: emit it and skip over it.
                const int maxInsert = strstart + lookahead - kMinMatch;
                const bool flush = Tally(static_cast<unsigned>(strstart - 1 - prevMatch),
                                         static_cast<unsigned>(prevLength - kMinMatch));
                lookahead -= prevLength - 1;
                prevLength -= 2;
                do {
                    if (++strstart <= maxInsert) {
                        unsigned ignored;
                        InsertString(strstart, ignored);
                    }
                } while (--prevLength != 0);
                matchAvailable = false;
                matchLength = kMinMatch - 1;
                ++strstart;
                if (flush) FlushBlock(false);
            } else if (matchAvailable) {
                if (Tally(0, window[static_cast<size_t>(strstart) - 1])) FlushBlock(false);
                ++strstart;
                --lookahead;
            } else {
                matchAvailable = true;
                ++strstart;
                --lookahead;
            }
            if (writeFailed) return;
        }
        if (matchAvailable) Tally(0, window[static_cast<size_t>(strstart) - 1]);
        FlushBlock(true);
    }

    void RunGreedy() {
        for (;;) {
            if (lookahead < kMinLookahead) {
                FillWindow();
                if (lookahead == 0) break;
            }
            unsigned hashHead = 0;
            if (lookahead >= kMinMatch) InsertString(strstart, hashHead);
            int matchLength = 0;
            if (hashHead != 0 && strstart - static_cast<int>(hashHead) <= kMaxDist) {
                matchLength = LongestMatch(hashHead, kMinMatch - 1);
            }
            bool flush;
            if (matchLength >= kMinMatch) {
                flush = Tally(static_cast<unsigned>(strstart - matchStart),
                              static_cast<unsigned>(matchLength - kMinMatch));
                lookahead -= matchLength;
                if (matchLength <= cfg.lazy && lookahead >= kMinMatch) {
                    for (int k = 1; k < matchLength; ++k) {
                        unsigned ignored;
                        InsertString(++strstart, ignored);
                    }
                    ++strstart;
                } else {
                    strstart += matchLength;
                    hash = ((static_cast<unsigned>(window[static_cast<size_t>(strstart)]) << kHashShift) ^
                            window[static_cast<size_t>(strstart) + 1]) & kHashMask;
                }
            } else {
                flush = Tally(0, window[static_cast<size_t>(strstart)]);
                --lookahead;
                ++strstart;
            }
            if (flush) FlushBlock(false);
            if (writeFailed) return;
        }
        FlushBlock(true);
    }
};

DeflateEncoder::DeflateEncoder(int level) : m_level(level) {}
DeflateEncoder::~DeflateEncoder() = default;

DeflateResult DeflateEncoder::Compress(IDeflateSource& source, IDeflateSink& sink, uint64_t& written) {
    written = 0;
    if (m_level < 1 || m_level > 8) return DeflateResult::BadLevel;
    if (!m_state) m_state = std::make_unique<State>();
    State& s = *m_state;
    s.Reset();
    s.cfg = kLevels[m_level];
    s.level = m_level;
    s.lazy = m_level > 3;
    s.source = &source;
    s.sink = &sink;
    if (s.lazy) s.RunLazy();
    else s.RunGreedy();
    s.FlushOut();
    s.source = nullptr;
    s.sink = nullptr;
    written = s.written;
    if (s.writeFailed) return DeflateResult::WriteFailed;
    if (s.readFailed) return DeflateResult::ReadFailed;
    return DeflateResult::Ok;
}
