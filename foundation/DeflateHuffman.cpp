#include "foundation/DeflateHuffman.h"

#include <algorithm>
#include <cstring>

void BuildCodeLengths(const uint32_t* freqs, int count, int maxBits, uint8_t* lengths) {
    std::memset(lengths, 0, static_cast<size_t>(count));
    // Leaves in ascending frequency (ties by symbol, so the result is deterministic).
    std::vector<int> leaves;
    leaves.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (freqs[i] != 0) leaves.push_back(i);
    }
    if (leaves.size() < 2) {
        // A lone code still needs a partner: inflaters reject a one-code tree of
        // length 1 only in theory, but some old ones reject it in practice.
        const int used = leaves.empty() ? -1 : leaves[0];
        const int other = used == 0 ? 1 : 0;
        if (used >= 0) lengths[used] = 1;
        lengths[other] = 1;
        if (used < 0) lengths[1] = 1;
        return;
    }
    std::stable_sort(leaves.begin(), leaves.end(),
                     [&](int a, int b) { return freqs[a] < freqs[b]; });

    // Two-queue Huffman construction: the leaves are sorted, and internal nodes come
    // out in non-decreasing weight, so the two smallest are always at a queue front.
    const size_t n = leaves.size();
    std::vector<uint64_t> weight(2 * n);
    std::vector<int> parent(2 * n, -1);
    for (size_t i = 0; i < n; ++i) weight[i] = freqs[leaves[i]];
    size_t leafNext = 0;
    size_t nodeNext = n;
    size_t nodeEnd = n;
    auto takeSmallest = [&]() -> size_t {
        if (leafNext < n && (nodeNext >= nodeEnd || weight[leafNext] <= weight[nodeNext])) {
            return leafNext++;
        }
        return nodeNext++;
    };
    while (nodeEnd < 2 * n - 1) {
        const size_t a = takeSmallest();
        const size_t b = takeSmallest();
        weight[nodeEnd] = weight[a] + weight[b];
        parent[a] = parent[b] = static_cast<int>(nodeEnd);
        ++nodeEnd;
    }
    // Depths from the root down (parents always have higher indices).
    std::vector<int> depth(2 * n - 1, 0);
    for (size_t i = 2 * n - 1; i-- > 0;) {
        if (parent[i] >= 0) depth[i] = depth[static_cast<size_t>(parent[i])] + 1;
    }

    // Count leaves per length with the too-deep ones cut to maxBits, then repair the
    // Kraft sum: each step turns a shorter leaf into a node over itself and one of the
    // deepest leaves, which lowers the sum by one unit of 2^-maxBits.
    std::vector<int> perLength(static_cast<size_t>(maxBits) + 1, 0);
    for (size_t i = 0; i < n; ++i) perLength[static_cast<size_t>(std::min(depth[i], maxBits))]++;
    uint64_t kraft = 0;
    for (int len = 1; len <= maxBits; ++len) {
        kraft += static_cast<uint64_t>(perLength[static_cast<size_t>(len)]) << (maxBits - len);
    }
    const uint64_t full = uint64_t{1} << maxBits;
    while (kraft > full) {
        int len = maxBits - 1;
        while (perLength[static_cast<size_t>(len)] == 0) --len;
        perLength[static_cast<size_t>(len)]--;
        perLength[static_cast<size_t>(len) + 1] += 2;
        perLength[static_cast<size_t>(maxBits)]--;
        --kraft;
    }
    // The least frequent leaves take the longest codes.
    size_t next = 0;
    for (int len = maxBits; len >= 1; --len) {
        for (int k = 0; k < perLength[static_cast<size_t>(len)]; ++k) {
            lengths[leaves[next++]] = static_cast<uint8_t>(len);
        }
    }
}

void BuildReversedCodes(const uint8_t* lengths, int count, uint16_t* codes) {
    int perLength[16] = {0};
    for (int i = 0; i < count; ++i) perLength[lengths[i]]++;
    perLength[0] = 0;
    int nextCode[16] = {0};
    int code = 0;
    for (int len = 1; len < 16; ++len) {
        code = (code + perLength[len - 1]) << 1;
        nextCode[len] = code;
    }
    for (int i = 0; i < count; ++i) {
        const int len = lengths[i];
        if (len == 0) {
            codes[i] = 0;
            continue;
        }
        int c = nextCode[len]++;
        int reversed = 0;
        for (int b = 0; b < len; ++b) {
            reversed = (reversed << 1) | (c & 1);
            c >>= 1;
        }
        codes[i] = static_cast<uint16_t>(reversed);
    }
}

void AppendCodeLengthRuns(const uint8_t* lengths, int count, std::vector<CodeLengthItem>& out) {
    int i = 0;
    while (i < count) {
        const uint8_t cur = lengths[i];
        int run = 1;
        while (i + run < count && lengths[i + run] == cur) ++run;
        i += run;
        if (cur == 0) {
            while (run >= 11) {
                const int r = std::min(run, 138);
                out.push_back({18, static_cast<uint8_t>(r - 11)});
                run -= r;
            }
            if (run >= 3) {
                out.push_back({17, static_cast<uint8_t>(run - 3)});
                run = 0;
            }
        } else {
            out.push_back({cur, 0});
            --run;
            while (run >= 3) {
                const int r = std::min(run, 6);
                out.push_back({16, static_cast<uint8_t>(r - 3)});
                run -= r;
            }
        }
        for (; run > 0; --run) out.push_back({cur, 0});
    }
}
