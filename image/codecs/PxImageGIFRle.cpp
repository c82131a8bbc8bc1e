// GIF image data written as runs: codes that any LZW decoder reads back, chosen
// so that runs of one pixel value take few codes.
#include "image/codecs/PxImageGIF.h"

void PxImageGIF::RleWriteBlock() {
    PutByte(static_cast<uint8_t>(m_oBlen));
    PutBytes(m_oBlock, static_cast<size_t>(m_oBlen));
    m_oBlen = 0;
}

void PxImageGIF::RleBlockOut(uint8_t c) {
    m_oBlock[m_oBlen++] = c;
    if (m_oBlen >= 255) RleWriteBlock();
}

void PxImageGIF::RleOutput(int code) {
    m_oBuf |= static_cast<uint32_t>(code) << m_oBits;
    m_oBits += m_outBits;
    while (m_oBits >= 8) {
        RleBlockOut(static_cast<uint8_t>(m_oBuf & 0xFF));
        m_oBuf >>= 8;
        m_oBits -= 8;
    }
}

void PxImageGIF::RleOutputFlush() {
    if (m_oBits > 0) RleBlockOut(static_cast<uint8_t>(m_oBuf & 0xFF));
    m_oBuf = 0;
    m_oBits = 0;
    if (m_oBlen > 0) RleWriteBlock();
}

void PxImageGIF::RleClear() {
    m_outBits = m_outBitsInit;
    m_outBump = m_outBumpInit;
    m_outClear = m_outClearInit;
    m_outCount = 0;
    m_rlTableMax = 0;
    m_justCleared = true;
}

void PxImageGIF::RleOutputPlain(int code) {
    m_justCleared = false;
    RleOutput(code);
    ++m_outCount;
    if (m_outCount >= m_outBump) {
        ++m_outBits;
        m_outBump += 1 << (m_outBits - 1);
    }
    if (m_outCount >= m_outClear) {
        RleOutput(m_rlClear);
        RleClear();
    }
}

void PxImageGIF::RleResetOutClear() {
    m_outClear = m_outClearInit;
    if (m_outCount >= m_outClear) {
        RleOutput(m_rlClear);
        RleClear();
    }
}

unsigned PxImageGIF::RleIsqrt(unsigned x) {
    if (x < 2) return x;
    unsigned r = 1;
    for (unsigned v = x; v; v >>= 2) r <<= 1;
    for (;;) {
        unsigned v = ((x / r) + r) / 2;
        if (v == r || v == r + 1) return r;
        r = v;
    }
}

unsigned PxImageGIF::RleTriangleCount(unsigned count, unsigned repCodes) {
    unsigned cost = 0;
    unsigned perRep = (repCodes * (repCodes + 1)) / 2;
    while (count >= perRep) {
        cost += repCodes;
        count -= perRep;
    }
    if (count > 0) {
        unsigned n = RleIsqrt(count);
        while (n * (n + 1) >= 2 * count) --n;
        while (n * (n + 1) < 2 * count) ++n;
        cost += n;
    }
    return cost;
}

void PxImageGIF::RleFlushFromClear(int count) {
    m_outClear = m_maxOcodes;
    m_rlTablePixel = m_rlPixel;
    int n = 1;
    while (count > 0) {
        if (n == 1) {
            m_rlTableMax = 1;
            RleOutputPlain(m_rlPixel);
            --count;
        } else if (count >= n) {
            m_rlTableMax = n;
            RleOutputPlain(m_rlBaseCode + n - 2);
            count -= n;
        } else if (count == 1) {
            ++m_rlTableMax;
            RleOutputPlain(m_rlPixel);
            count = 0;
        } else {
            ++m_rlTableMax;
            RleOutputPlain(m_rlBaseCode + count - 2);
            count = 0;
        }
        if (m_outCount == 0)
            n = 1;
        else
            ++n;
    }
    RleResetOutClear();
}

void PxImageGIF::RleFlushWithTable(int count) {
    int repMax = count / m_rlTableMax;
    int leftover = count % m_rlTableMax;
    int repLeft = leftover ? 1 : 0;
    if (m_outCount + repMax + repLeft > m_maxOcodes) {
        repMax = m_maxOcodes - m_outCount;
        leftover = count - repMax * m_rlTableMax;
        repLeft = 1 + static_cast<int>(RleTriangleCount(static_cast<unsigned>(leftover), static_cast<unsigned>(m_maxOcodes)));
    }
    if (1 + RleTriangleCount(static_cast<unsigned>(count), static_cast<unsigned>(m_maxOcodes)) <
        static_cast<unsigned>(repMax + repLeft)) {
        RleOutput(m_rlClear);
        RleClear();
        RleFlushFromClear(count);
        return;
    }
    m_outClear = m_maxOcodes;
    for (; repMax > 0; --repMax) RleOutputPlain(m_rlBaseCode + m_rlTableMax - 2);
    if (leftover) {
        if (m_justCleared)
            RleFlushFromClear(leftover);
        else if (leftover == 1)
            RleOutputPlain(m_rlPixel);
        else
            RleOutputPlain(m_rlBaseCode + leftover - 2);
    }
    RleResetOutClear();
}

void PxImageGIF::RleFlushClearOrRep(int count) {
    unsigned withClear = 1 + RleTriangleCount(static_cast<unsigned>(count), static_cast<unsigned>(m_maxOcodes));
    if (withClear < static_cast<unsigned>(count)) {
        RleOutput(m_rlClear);
        RleClear();
        RleFlushFromClear(count);
    } else {
        for (; count > 0; --count) RleOutputPlain(m_rlPixel);
    }
}

void PxImageGIF::RleFlush() {
    if (m_rlCount == 1) {
        RleOutputPlain(m_rlPixel);
        m_rlCount = 0;
        return;
    }
    if (m_justCleared)
        RleFlushFromClear(m_rlCount);
    else if (m_rlTableMax < 2 || m_rlTablePixel != m_rlPixel)
        RleFlushClearOrRep(m_rlCount);
    else
        RleFlushWithTable(m_rlCount);
    m_rlCount = 0;
}

void PxImageGIF::CompressRLE(int initBits) {
    m_rlClear = 1 << (initBits - 1);
    m_rlEof = m_rlClear + 1;
    m_rlBaseCode = m_rlEof + 1;
    m_outBumpInit = (1 << (initBits - 1)) - 1;
    m_outClearInit = initBits <= 3 ? 9 : m_outBumpInit - 1;
    m_outBitsInit = initBits;
    m_maxOcodes = (1 << kMaxLzwBits) - ((1 << (m_outBitsInit - 1)) + 3);
    RleClear();
    m_oBuf = 0;
    m_oBits = 0;
    m_oBlen = 0;
    m_rlPixel = -1;
    m_rlTablePixel = -1;
    RleOutput(m_rlClear);
    m_rlCount = 0;
    for (;;) {
        int c = GifNextPixel();
        if (m_rlCount > 0 && c != m_rlPixel) RleFlush();
        if (c < 0) break;
        if (m_rlPixel == c) {
            ++m_rlCount;
        } else {
            m_rlPixel = c;
            m_rlCount = 1;
        }
    }
    RleOutput(m_rlEof);
    RleOutputFlush();
}
