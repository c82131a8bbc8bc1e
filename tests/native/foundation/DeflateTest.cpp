#include "foundation/Deflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/Crc32.h"
#include "foundation/DeflateHuffman.h"

namespace {

class MemorySource : public IDeflateSource {
public:
    explicit MemorySource(const std::vector<uint8_t>& data, size_t piece = 0) : m_data(data), m_piece(piece) {}
    long Read(uint8_t* buffer, size_t size) override {
        size_t n = std::min(size, m_data.size() - m_pos);
        if (m_piece != 0) n = std::min(n, m_piece);
        if (n > 0) std::memcpy(buffer, m_data.data() + m_pos, n);
        m_pos += n;
        return static_cast<long>(n);
    }

private:
    const std::vector<uint8_t>& m_data;
    size_t m_pos = 0;
    size_t m_piece;
};

class MemorySink : public IDeflateSink {
public:
    bool Write(const uint8_t* data, size_t size) override {
        EXPECT_LE(size, 16384u);
        if (failAfter >= 0 && static_cast<long>(bytes.size() + size) > failAfter) return false;
        bytes.insert(bytes.end(), data, data + size);
        return true;
    }
    std::vector<uint8_t> bytes;
    long failAfter = -1;
};

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& input, int level = 8) {
    DeflateEncoder encoder(level);
    MemorySource source(input);
    MemorySink sink;
    uint64_t written = 0;
    EXPECT_EQ(encoder.Compress(source, sink, written), DeflateResult::Ok);
    EXPECT_EQ(written, sink.bytes.size());
    return sink.bytes;
}

// zlib's raw inflate; also reports the type of every block (a small block-header reader
// on top of Z_BLOCK, which stops at each block boundary).
bool Inflate(const std::vector<uint8_t>& compressed, std::vector<uint8_t>& out, std::vector<int>* blockTypes = nullptr) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return false;
    std::vector<uint8_t> in = compressed;
    out.assign(1 << 20, 0);
    z.next_in = in.data();
    z.avail_in = static_cast<uInt>(in.size());
    size_t produced = 0;
    long lastBit = -1;
    auto headerAt = [&](long bit) {
        int v = 0;
        for (int k = 0; k < 3; ++k) {
            const long b = bit + k;
            v |= ((in[static_cast<size_t>(b / 8)] >> (b % 8)) & 1) << k;
        }
        return v >> 1;
    };
    if (blockTypes && !in.empty()) {
        blockTypes->push_back(headerAt(0));
        lastBit = 0;
    }
    int ret;
    do {
        if (produced == out.size()) out.resize(out.size() * 2);
        z.next_out = out.data() + produced;
        z.avail_out = static_cast<uInt>(out.size() - produced);
        ret = inflate(&z, blockTypes ? Z_BLOCK : Z_NO_FLUSH);
        produced = out.size() - z.avail_out;
        if (ret == Z_STREAM_END) break;
        if (ret != Z_OK && ret != Z_BUF_ERROR) {
            inflateEnd(&z);
            return false;
        }
        if (blockTypes && (z.data_type & 128) && !(z.data_type & 64)) {
            const long bit = static_cast<long>(z.total_in) * 8 - (z.data_type & 7);
            if (bit != lastBit) {
                blockTypes->push_back(headerAt(bit));
                lastBit = bit;
            }
        }
        if (ret == Z_BUF_ERROR && z.avail_in == 0) {
            inflateEnd(&z);
            return false;
        }
    } while (true);
    const bool complete = z.avail_in == 0;
    inflateEnd(&z);
    out.resize(produced);
    return complete;
}

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
}

std::vector<uint8_t> LogText(size_t n, uint32_t seed) {
    static const char* const kLines[] = {
        "UploadFile: start %d\n", "HotkeysManager::EnableHandlers\n", "File::Delete: Failed: %d\n",
        "CvxInit: current video mode to %d\n", "[cvxcore]:speed=%d.17 ms\n",
        "Screenshot saved to C:\\Users\\user\\Pictures\\Brivane\\Screenshot %d.png\n"};
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < n) {
        char line[200];
        std::snprintf(line, sizeof line, "%02u:%02u:%02u: ", static_cast<unsigned>(rng() % 24),
                      static_cast<unsigned>(rng() % 60), static_cast<unsigned>(rng() % 60));
        s += line;
        std::snprintf(line, sizeof line, kLines[rng() % 6], static_cast<int>(rng() % 100000));
        s += line;
    }
    s.resize(n);
    return std::vector<uint8_t>(s.begin(), s.end());
}

std::vector<uint8_t> ShortRepeats(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>("abcabd"[i % 6] + (i / 5000) % 3);
    return v;
}

TEST(Deflate, RoundTripsThroughZlibInflate) {
    const size_t sizes[] = {0, 1, 2, 3, 257, 258, 259, 4095, 4096, 32767, 32768, 32769,
                            65535, 65536, 65537, 100000, 300000};
    struct Kind {
        const char* name;
        std::vector<uint8_t> (*make)(size_t);
    };
    const Kind kinds[] = {
        {"random", [](size_t n) { return RandomBytes(n, 7); }},
        {"zeros", [](size_t n) { return std::vector<uint8_t>(n, 0); }},
        {"text", [](size_t n) { return LogText(n, 3); }},
        {"short repeats", ShortRepeats},
    };
    for (const Kind& k : kinds) {
        for (size_t n : sizes) {
            SCOPED_TRACE(std::string(k.name) + " " + std::to_string(n));
            const std::vector<uint8_t> input = k.make(n);
            std::vector<uint8_t> out;
            ASSERT_TRUE(Inflate(Deflate(input), out));
            EXPECT_TRUE(out == input);
        }
    }
}

TEST(Deflate, EveryLevelRoundTripsAndBadLevelsFail) {
    const std::vector<uint8_t> input = LogText(150000, 11);
    for (int level = 1; level <= 8; ++level) {
        SCOPED_TRACE(level);
        std::vector<uint8_t> out;
        ASSERT_TRUE(Inflate(Deflate(input, level), out));
        EXPECT_TRUE(out == input);
    }
    for (int level : {0, 9, -1}) {
        DeflateEncoder encoder(level);
        MemorySource source(input);
        MemorySink sink;
        uint64_t written = 0;
        EXPECT_EQ(encoder.Compress(source, sink, written), DeflateResult::BadLevel);
        EXPECT_TRUE(sink.bytes.empty());
    }
}

TEST(Deflate, EmptyInputIsOneFinalFixedBlock) {
    const std::vector<uint8_t> out = Deflate({});
    EXPECT_EQ(out, (std::vector<uint8_t>{0x03, 0x00}));
}

TEST(Deflate, PicksStoredFixedOrDynamicPerBlock) {
    struct Case {
        const char* name;
        std::vector<uint8_t> input;
        int expectedType;  // 0 stored, 1 fixed, 2 dynamic
    };
    const Case cases[] = {
        // Incompressible: both codings are longer than the bytes themselves.
        {"random", RandomBytes(20000, 5), 0},
        // Too short for a code table to pay for itself.
        {"short text", std::vector<uint8_t>({'h', 'e', 'l', 'l', 'o', ' ', 'h', 'e', 'l', 'l', 'o', '!'}), 1},
        {"log text", LogText(20000, 9), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<int> types;
        std::vector<uint8_t> out;
        ASSERT_TRUE(Inflate(Deflate(c.input), out, &types));
        EXPECT_TRUE(out == c.input);
        ASSERT_FALSE(types.empty());
        for (int t : types) EXPECT_EQ(t, c.expectedType);
    }
}

TEST(Deflate, LongInputIsSplitIntoSeveralBlocks) {
    // The literal buffer holds 32767 symbols: 1 MB of random bytes needs many blocks.
    std::vector<int> types;
    std::vector<uint8_t> out;
    const std::vector<uint8_t> input = RandomBytes(1 << 20, 1);
    const std::vector<uint8_t> compressed = Deflate(input);
    ASSERT_TRUE(Inflate(compressed, out, &types));
    EXPECT_TRUE(out == input);
    EXPECT_GE(types.size(), 30u);
    EXPECT_LE(compressed.size(), input.size() + input.size() / 100);
}

TEST(Deflate, CompressesLogTextWellAndReadsInSmallPieces) {
    const std::vector<uint8_t> input = LogText(200000, 2);
    DeflateEncoder encoder(8);
    MemorySource source(input, 1000);  // a source that gives little at a time
    MemorySink sink;
    uint64_t written = 0;
    ASSERT_EQ(encoder.Compress(source, sink, written), DeflateResult::Ok);
    // Within 1 % of zlib at the same level and window.
    z_stream z{};
    ASSERT_EQ(deflateInit2(&z, 8, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::vector<uint8_t> zout(deflateBound(&z, input.size()));
    std::vector<uint8_t> zin = input;
    z.next_in = zin.data();
    z.avail_in = static_cast<uInt>(zin.size());
    z.next_out = zout.data();
    z.avail_out = static_cast<uInt>(zout.size());
    ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    const size_t zlibSize = z.total_out;
    deflateEnd(&z);
    EXPECT_LE(sink.bytes.size(), zlibSize + zlibSize / 100) << "zlib " << zlibSize;
    std::vector<uint8_t> out;
    ASSERT_TRUE(Inflate(sink.bytes, out));
    EXPECT_TRUE(out == input);
}

TEST(Deflate, SinkFailureEndsTheStream) {
    const std::vector<uint8_t> input = RandomBytes(100000, 3);
    DeflateEncoder encoder(8);
    MemorySource source(input);
    MemorySink sink;
    sink.failAfter = 20000;
    uint64_t written = 0;
    EXPECT_EQ(encoder.Compress(source, sink, written), DeflateResult::WriteFailed);
    // The encoder is reusable after a failure.
    MemorySource again(input);
    MemorySink sink2;
    EXPECT_EQ(encoder.Compress(again, sink2, written), DeflateResult::Ok);
    std::vector<uint8_t> out;
    ASSERT_TRUE(Inflate(sink2.bytes, out));
    EXPECT_TRUE(out == input);
}

TEST(DeflateHuffman, LengthsAreLimitedAndComplete) {
    // Fibonacci frequencies make the deepest unrestricted tree.
    uint32_t freqs[30];
    uint32_t a = 1, b = 1;
    for (auto& f : freqs) {
        f = a;
        const uint32_t c = a + b;
        a = b;
        b = c;
    }
    for (int maxBits : {7, 15}) {
        SCOPED_TRACE(maxBits);
        uint8_t lengths[30];
        BuildCodeLengths(freqs, 30, maxBits, lengths);
        double kraft = 0;
        for (uint8_t len : lengths) {
            ASSERT_GE(len, 1);
            ASSERT_LE(len, maxBits);
            kraft += 1.0 / (1 << len);
        }
        EXPECT_DOUBLE_EQ(kraft, 1.0);
    }
}

TEST(DeflateHuffman, CodeLengthRuns) {
    const uint8_t lengths[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 5, 5, 5, 5, 5, 5, 5, 3, 0, 0};
    std::vector<CodeLengthItem> runs;
    AppendCodeLengthRuns(lengths, static_cast<int>(sizeof lengths), runs);
    ASSERT_EQ(runs.size(), 7u);
    EXPECT_EQ(runs[0].symbol, 18);  // twelve zeros
    EXPECT_EQ(runs[0].extra, 1);
    EXPECT_EQ(runs[1].symbol, 5);
    EXPECT_EQ(runs[2].symbol, 16);  // six more fives
    EXPECT_EQ(runs[2].extra, 3);
    EXPECT_EQ(runs[3].symbol, 5);   // the eighth five
    EXPECT_EQ(runs[4].symbol, 3);
    EXPECT_EQ(runs[5].symbol, 0);   // two zeros are written plainly
    EXPECT_EQ(runs[6].symbol, 0);
}

TEST(Crc32, KnownValues) {
    const std::string text = "123456789";
    EXPECT_EQ(Crc32Update(0, reinterpret_cast<const uint8_t*>(text.data()), text.size()), 0xCBF43926u);
    EXPECT_EQ(Crc32Update(0, nullptr, 0), 0u);
    // In two pieces.
    uint32_t crc = Crc32Update(0, reinterpret_cast<const uint8_t*>(text.data()), 4);
    crc = Crc32Update(crc, reinterpret_cast<const uint8_t*>(text.data()) + 4, 5);
    EXPECT_EQ(crc, 0xCBF43926u);
}

}  // namespace
