#pragma once
#include <cstdio>

#include "image/PxImage.h"

// GIF87a/GIF89a: one frame or the composition of frames up to the requested one;
// single images, true-colour mosaics and animations written with LZW,
// uncompressed or run-length data (codec option of PxFormatGIF: 1 uncompressed,
// 2 run-length, anything else LZW).
class PxImageGIF : public PxImage {
public:
    PxImageGIF();

    bool Decode(PxFile* stream);
    bool Decode(FILE* file);
    bool Encode(PxFile* stream);
    bool Encode(FILE* file);
    // Animation: the pages in turn, each with a local colour table when asked
    // (and always when its palette differs from the first page's).
    bool Encode(PxFile* stream, PxImage** pages, int pageCount, bool localColorMap = false);
    bool Encode(FILE* file, PxImage** pages, int pageCount, bool localColorMap = false);

    void SetLoops(int loops) { m_loops = loops; }
    int GetLoops() const { return m_loops; }
    void SetDisposalMethod(int method) { m_disposal = method; }
    int GetDisposalMethod() const { return m_disposal; }
    void SetComment(const char* text);
    void GetComment(char* buffer) const;

    // The largest comment that a file carries.
    static constexpr int kMaxComment = 255;

private:
    // Code space of the LZW coders and the size of the encoder's hash table.
    static constexpr int kMaxLzwBits = 12;
    static constexpr int kMaxLzwCodes = 1 << kMaxLzwBits;  // 4096
    static constexpr int kHashSize = 5003;

    static bool SameColor(const RGBQUAD& a, const RGBQUAD& b) {
        return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
    }

    struct GraphicControl {
        uint8_t flags = 0;
        uint16_t delay = 0;
        uint8_t transIndex = 0;
    };

    // Decoding (PxImageGIF.cpp)
    int CountFrames(PxFile* stream, int screenWidth, int screenHeight);
    bool DecodeExtension(PxFile* stream);
    bool SkipSubBlocks(PxFile* stream);
    int DecodeLzw(PxFile* stream, PxImage& frame, bool interlaced);
    int GetByte();
    int GetNextCode();
    bool OutLine(PxImage& frame, const uint8_t* line, bool interlaced);

    // Encoding (PxImageGIFEncode.cpp)
    void EncodeHeader(PxFile* stream);
    void EncodeExtension(PxFile* stream);
    void EncodeLoopExtension(PxFile* stream);
    void EncodeComment(PxFile* stream);
    void EncodeBody(PxFile* stream, bool localColorMap);
    bool EncodeRGB(PxFile* stream);
    bool FinishWrite(PxFile* stream);
    void PutByte(uint8_t value);
    void PutWord(uint16_t value);
    void PutBytes(const void* data, size_t size);
    int GifNextPixel();

    // LZW and uncompressed image data (PxImageGIFLzw.cpp)
    void CompressLZW(int initBits);
    void CompressNONE(int initBits);
    // Code size, clear and end codes, and an empty output for either of the two above.
    void StartCodes(int initBits);
    void Output(int code);
    void ClearHash();
    void CharOut(uint8_t c);
    void FlushChar();

    // Run-length image data (PxImageGIFRle.cpp)
    void CompressRLE(int initBits);
    void RleOutput(int code);
    void RleOutputPlain(int code);
    void RleBlockOut(uint8_t c);
    void RleWriteBlock();
    void RleOutputFlush();
    void RleClear();
    void RleFlush();
    void RleFlushFromClear(int count);
    void RleFlushWithTable(int count);
    void RleFlushClearOrRep(int count);
    void RleResetOutClear();
    static unsigned RleIsqrt(unsigned x);
    static unsigned RleTriangleCount(unsigned count, unsigned repCodes);

    GraphicControl m_gce;
    int m_loops = 0;
    int m_disposal = 0;
    char m_comment[kMaxComment + 1] = {};

    // Pixel cursor for encoding: column, row counted from the top, pixels left.
    long m_curX = 0, m_curY = 0, m_pixelsLeft = 0;

    // Interlace cursor for decoding.
    long m_rowCursor = 0, m_rowStep = 8, m_pass = 0;

    // Input buffer of the LZW decoder.
    PxFile* m_in = nullptr;
    uint8_t m_inBuffer[16383] = {};
    int m_inPos = 0, m_inHeld = 0;
    bool m_inEnd = false;

    // LZW decoder.
    int m_codeSize = 0, m_clearCode = 0, m_endCode = 0, m_firstFree = 0, m_nextFree = 0, m_topSlot = 0;
    int m_bitsLeft = 0, m_blockLeft = 0;
    uint32_t m_bitBuffer = 0;
    bool m_dataEnd = false;
    uint8_t m_stack[4097] = {};
    uint8_t m_suffix[kMaxLzwCodes] = {};
    uint16_t m_prefix[kMaxLzwCodes] = {};

    // LZW and uncompressed encoders.
    PxFile* m_out = nullptr;
    bool m_writeFailed = false;
    int32_t m_htab[kHashSize] = {};
    uint16_t m_codetab[kHashSize] = {};
    uint32_t m_curAccum = 0;
    int m_curBits = 0, m_nBits = 0, m_maxCode = 0, m_freeEnt = 0, m_initBits = 0;
    int m_clearCodeOut = 0, m_eofCode = 0;
    bool m_clearFlag = false;
    uint8_t m_accum[256] = {};
    int m_aCount = 0;

    // Run-length encoder.
    int m_rlPixel = -1, m_rlCount = 0, m_rlTablePixel = 0, m_rlTableMax = 0;
    bool m_justCleared = false;
    int m_outBits = 0, m_outBitsInit = 0, m_outCount = 0, m_outBump = 0, m_outBumpInit = 0;
    int m_outClear = 0, m_outClearInit = 0, m_maxOcodes = 0, m_rlBaseCode = 0, m_rlClear = 0, m_rlEof = 0;
    uint32_t m_oBuf = 0;
    int m_oBits = 0;
    uint8_t m_oBlock[256] = {};
    int m_oBlen = 0;
};
