// GIF image data written with variable-length LZW codes (hashed string table),
// or uncompressed: codes that never build a string, with a clear code before the
// table would grow.
#include "image/codecs/PxImageGIF.h"

void PxImageGIF::ClearHash() {
    for (int i = 0; i < kHashSize; ++i) m_htab[i] = -1;
}

void PxImageGIF::CharOut(uint8_t c) {
    m_accum[m_aCount++] = c;
    if (m_aCount >= 254) FlushChar();
}

void PxImageGIF::FlushChar() {
    if (m_aCount > 0) {
        PutByte(static_cast<uint8_t>(m_aCount));
        PutBytes(m_accum, static_cast<size_t>(m_aCount));
        m_aCount = 0;
    }
}

void PxImageGIF::Output(int code) {
    m_curAccum &= (1u << m_curBits) - 1;
    m_curAccum |= static_cast<uint32_t>(code) << m_curBits;
    m_curBits += m_nBits;
    while (m_curBits >= 8) {
        CharOut(static_cast<uint8_t>(m_curAccum & 0xFF));
        m_curAccum >>= 8;
        m_curBits -= 8;
    }
    // Widen the code once the next free code no longer fits, back to the
    // initial width after a clear.
    if (m_freeEnt > m_maxCode || m_clearFlag) {
        if (m_clearFlag) {
            m_nBits = m_initBits;
            m_maxCode = (1 << m_nBits) - 1;
            m_clearFlag = false;
        } else {
            ++m_nBits;
            m_maxCode = m_nBits == kMaxLzwBits ? kMaxLzwCodes : (1 << m_nBits) - 1;
        }
    }
    if (code == m_eofCode) {
        while (m_curBits > 0) {
            CharOut(static_cast<uint8_t>(m_curAccum & 0xFF));
            m_curAccum >>= 8;
            m_curBits -= 8;
        }
        m_curBits = 0;
        FlushChar();
    }
}

void PxImageGIF::StartCodes(int initBits) {
    m_initBits = initBits;
    m_nBits = initBits;
    m_maxCode = (1 << m_nBits) - 1;
    m_clearCodeOut = 1 << (initBits - 1);
    m_eofCode = m_clearCodeOut + 1;
    m_freeEnt = m_clearCodeOut + 2;
    m_clearFlag = false;
    m_curAccum = 0;
    m_curBits = 0;
    m_aCount = 0;
}

void PxImageGIF::CompressLZW(int initBits) {
    StartCodes(initBits);
    int hshift = 0;
    for (long fcode = kHashSize; fcode < 65536L; fcode *= 2) ++hshift;
    hshift = 8 - hshift;
    ClearHash();

    int ent = GifNextPixel();
    Output(m_clearCodeOut);
    int c;
    while ((c = GifNextPixel()) >= 0) {
        int32_t fcode = (static_cast<int32_t>(c) << kMaxLzwBits) + ent;
        int i = (c << hshift) ^ ent;
        if (m_htab[i] == fcode) {
            ent = m_codetab[i];
            continue;
        }
        bool found = false;
        if (m_htab[i] >= 0) {
            int disp = i == 0 ? 1 : kHashSize - i;
            do {
                if ((i -= disp) < 0) i += kHashSize;
                if (m_htab[i] == fcode) {
                    ent = m_codetab[i];
                    found = true;
                    break;
                }
            } while (m_htab[i] >= 0);
        }
        if (found) continue;
        Output(ent);
        ent = c;
        if (m_freeEnt < kMaxLzwCodes) {
            m_codetab[i] = static_cast<uint16_t>(m_freeEnt++);
            m_htab[i] = fcode;
        } else {
            ClearHash();
            m_freeEnt = m_clearCodeOut + 2;
            m_clearFlag = true;
            Output(m_clearCodeOut);
        }
    }
    Output(ent);
    Output(m_eofCode);
}

void PxImageGIF::CompressNONE(int initBits) {
    StartCodes(initBits);
    Output(m_clearCodeOut);
    int c;
    while ((c = GifNextPixel()) >= 0) {
        Output(c);
        // Every pixel is a code of its own; the decoder's table fills all the same.
        if (m_freeEnt < kMaxLzwCodes - 1) {
            ++m_freeEnt;
        } else {
            m_freeEnt = m_clearCodeOut + 2;
            m_clearFlag = true;
            Output(m_clearCodeOut);
        }
    }
    Output(m_eofCode);
}
