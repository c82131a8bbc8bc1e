// deflatebench: our deflate against zlib (level 8, raw, memory level 8) on a 4+ MB log
// text built from the program's log-line shapes and on 1 MB of random bytes, best of
// five runs each. Prints sizes, times and the two ratios per input.
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/Deflate.h"

namespace {

class Source : public IDeflateSource {
public:
    explicit Source(const std::vector<uint8_t>& d) : m_d(d) {}
    long Read(uint8_t* b, size_t n) override {
        n = std::min(n, m_d.size() - m_pos);
        std::memcpy(b, m_d.data() + m_pos, n);
        m_pos += n;
        return static_cast<long>(n);
    }

private:
    const std::vector<uint8_t>& m_d;
    size_t m_pos = 0;
};

class Sink : public IDeflateSink {
public:
    bool Write(const uint8_t*, size_t n) override {
        size += n;
        return true;
    }
    size_t size = 0;
};

std::vector<uint8_t> LogText() {
    std::mt19937 rng(20240601);
    static const char* const kMessages[] = {
        "HotkeysManager::EnableHandlers\n",
        "Hotkey: %s\n",
        "File::Delete: Failed: %u\n",
        "CvxInit: current video mode to %u\n",
        "[cvxcore]:speed=%u.%02u ms\n",
        "UploadFile: C:\\Users\\%s\\AppData\\Local\\Temp\\cvxlogs_%u_%06u.zip\n",
        "Screenshot saved: C:\\Users\\%s\\Pictures\\Brivane\\Screenshot %02u-11-2024 %06u.png\n",
        "[cvxcore]:[Failed]:err=%u errEx=0x%x\n",
        "Settings saved\n",
        "ServerSync: max_upload_file_size=%u\n",
    };
    static const char* const kWords[] = {"Region", "FullScreen", "Window", "Video", "alice", "bob", "Paul Smith"};
    std::string s;
    unsigned secs = 8 * 3600;
    while (s.size() < (4u << 20) + 12345) {
        secs += rng() % 3;
        char line[400];
        int n = std::snprintf(line, sizeof line, "%02u:%02u:%02u: ", secs / 3600 % 24, secs / 60 % 60, secs % 60);
        const unsigned pick = rng() % 10;
        const char* w = kWords[rng() % 7];
        switch (pick) {
        case 1: std::snprintf(line + n, sizeof line - n, kMessages[1], w); break;
        case 5: std::snprintf(line + n, sizeof line - n, kMessages[5], w, 241100 + rng() % 30, rng() % 1000000); break;
        case 6: std::snprintf(line + n, sizeof line - n, kMessages[6], w, 1 + rng() % 28, rng() % 1000000); break;
        case 4: std::snprintf(line + n, sizeof line - n, kMessages[4], rng() % 40, rng() % 100); break;
        case 7: std::snprintf(line + n, sizeof line - n, kMessages[7], rng() % 32, rng()); break;
        default: std::snprintf(line + n, sizeof line - n, kMessages[pick], rng() % 100000); break;
        }
        s += line;
    }
    return std::vector<uint8_t>(s.begin(), s.end());
}

template <class F>
double BestMs(F f) {
    double best = 1e30;
    for (int i = 0; i < 5; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        const auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    return best;
}

void Compare(const char* name, const std::vector<uint8_t>& input) {
    size_t ours = 0, theirs = 0;
    DeflateEncoder encoder(8);
    const double oursMs = BestMs([&] {
        Source src(input);
        Sink sink;
        uint64_t written = 0;
        encoder.Compress(src, sink, written);
        ours = sink.size;
    });
    std::vector<uint8_t> out(compressBound(static_cast<uLong>(input.size())) + 1024);
    const double zlibMs = BestMs([&] {
        z_stream z{};
        deflateInit2(&z, 8, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        z.next_in = const_cast<Bytef*>(input.data());
        z.avail_in = static_cast<uInt>(input.size());
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        deflate(&z, Z_FINISH);
        theirs = z.total_out;
        deflateEnd(&z);
    });
    std::printf("%-6s input %zu: ours %zu bytes %.1f ms, zlib %zu bytes %.1f ms; size ratio %.4f, time ratio %.2f\n",
                name, input.size(), ours, oursMs, theirs, zlibMs, static_cast<double>(ours) / theirs, oursMs / zlibMs);
}

}  // namespace

int main() {
    Compare("log", LogText());
    std::mt19937 rng(12345);
    std::vector<uint8_t> random(1 << 20);
    for (auto& b : random) b = static_cast<uint8_t>(rng());
    Compare("random", random);
    return 0;
}
