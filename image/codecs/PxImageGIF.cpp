// GIF reader: the header, colour tables, extensions and image descriptors, and
// the LZW image data of each frame composed onto the ones before it.
#include "image/codecs/PxImageGIF.h"

#include <cstring>
#include <utility>
#include <vector>

#include "image/PxFile.h"
#include "image/PxIOFile.h"
#include "image/codecs/PxByteOrder.h"

namespace {
constexpr int kBadCodeSize = -20;
constexpr int kOutOfMemory = -10;
constexpr int kBadCode = -30;

// Palette of one frame: the colour table, white above its size.
struct ColorTable {
    RGBQUAD colors[256];
    int size = 0;
};

bool ReadColorTable(PxFile* stream, ColorTable& table, int entries) {
    uint8_t raw[768];
    if (stream->Read(raw, 3, static_cast<size_t>(entries)) != static_cast<size_t>(entries)) return false;
    for (int i = 0; i < 256; ++i) {
        RGBQUAD& c = table.colors[i];
        if (i < entries) {
            c.rgbRed = raw[3 * i];
            c.rgbGreen = raw[3 * i + 1];
            c.rgbBlue = raw[3 * i + 2];
        } else {
            c.rgbRed = c.rgbGreen = c.rgbBlue = 255;
        }
        c.rgbReserved = 0;
    }
    table.size = entries;
    return true;
}
}  // namespace

PxImageGIF::PxImageGIF() : PxImage(PxFormatGIF) {}

void PxImageGIF::SetComment(const char* text) {
    if (!text) return;
    std::strncpy(m_comment, text, kMaxComment);
    m_comment[kMaxComment] = '\0';
}

void PxImageGIF::GetComment(char* buffer) const {
    if (!buffer) return;
    std::strncpy(buffer, m_comment, kMaxComment);
    buffer[kMaxComment] = '\0';
}

bool PxImageGIF::Decode(FILE* file) {
    PxIOFile stream(file);
    return Decode(file ? &stream : nullptr);
}

bool PxImageGIF::SkipSubBlocks(PxFile* stream) {
    for (;;) {
        long n = stream->GetC();
        if (n < 0) return false;
        if (n == 0) return true;
        uint8_t skip[255];
        if (stream->Read(skip, 1, static_cast<size_t>(n)) != static_cast<size_t>(n)) return false;
    }
}

bool PxImageGIF::DecodeExtension(PxFile* stream) {
    long label = stream->GetC();
    if (label < 0) return false;
    long size = stream->GetC();
    if (size < 0) return false;
    if (size == 0) return true;  // an extension without data
    uint8_t data[256] = {};
    if (stream->Read(data, 1, static_cast<size_t>(size)) != static_cast<size_t>(size)) return false;
    if (label == 0xF9) {
        if (size >= 4) {
            m_gce.flags = data[0];
            m_gce.delay = PxLE16(data + 1);
            m_gce.transIndex = data[3];
            if (m_gce.flags & 1) m_info.transIndex = m_gce.transIndex;
            m_info.frameDelay = m_gce.delay;
            m_disposal = (m_gce.flags >> 2) & 7;
        }
    } else if (label == 0xFE) {
        std::memcpy(m_comment, data, static_cast<size_t>(size > kMaxComment ? kMaxComment : size));
        m_comment[size > kMaxComment ? kMaxComment : size] = '\0';
    } else if (label == 0xFF && size == 11) {
        long n = stream->GetC();
        if (n < 0) return false;
        if (n == 0) return true;
        uint8_t block[256];
        if (stream->Read(block, 1, static_cast<size_t>(n)) != static_cast<size_t>(n)) return false;
        if (n > 2) m_loops = block[1] | (block[2] << 8);
    }
    return SkipSubBlocks(stream);
}

int PxImageGIF::CountFrames(PxFile* stream, int screenWidth, int screenHeight) {
    long start = stream->Tell();
    int count = 0;
    bool afterZero = true;
    for (;;) {
        long c = stream->GetC();
        if (c < 0) break;
        if (!afterZero) {
            afterZero = c == 0;
            continue;
        }
        if (c == '!') {
            if (!DecodeExtension(stream)) break;
        } else if (c == ',') {
            uint8_t d[9];
            if (stream->Read(d, 9, 1) != 1) break;
            int left = PxLE16(d), top = PxLE16(d + 2), w = PxLE16(d + 4), h = PxLE16(d + 6);
            if (d[8] & 0x80) {
                long tableBytes = 3L * (2 << (d[8] & 7));
                if (!stream->Seek(tableBytes, SEEK_CUR)) break;
            }
            if (stream->GetC() < 0) break;  // minimum code size
            bool ok = SkipSubBlocks(stream);
            if (w > 0 && h > 0 && left + w <= screenWidth && top + h <= screenHeight) ++count;
            if (!ok) break;
        } else if (c == ';') {
            break;
        } else {
            afterZero = c == 0;
        }
    }
    stream->Seek(start, SEEK_SET);
    return count;
}

int PxImageGIF::GetByte() {
    if (m_inPos >= m_inHeld) {
        if (m_inEnd) return -1;
        m_inHeld = static_cast<int>(m_in->Read(m_inBuffer, 1, sizeof(m_inBuffer)));
        m_inPos = 0;
        if (m_inHeld < static_cast<int>(sizeof(m_inBuffer))) m_inEnd = true;
        if (m_inHeld <= 0) return -1;
    }
    return m_inBuffer[m_inPos++];
}

// Next code, least significant bit first across the data sub-blocks; -1 at the
// end of the data (the zero-length block or the end of the stream).
int PxImageGIF::GetNextCode() {
    while (m_bitsLeft < m_codeSize) {
        if (m_blockLeft == 0) {
            if (m_dataEnd) return -1;
            int n = GetByte();
            if (n <= 0) {
                m_dataEnd = true;
                m_blockLeft = -1;  // the terminator (or the stream) is used up
                return -1;
            }
            m_blockLeft = n;
        }
        int b = GetByte();
        if (b < 0) {
            m_dataEnd = true;
            m_blockLeft = -1;
            return -1;
        }
        --m_blockLeft;
        m_bitBuffer |= static_cast<uint32_t>(b) << m_bitsLeft;
        m_bitsLeft += 8;
    }
    int code = static_cast<int>(m_bitBuffer & ((1u << m_codeSize) - 1));
    m_bitBuffer >>= m_codeSize;
    m_bitsLeft -= m_codeSize;
    return code;
}

bool PxImageGIF::OutLine(PxImage& frame, const uint8_t* line, bool interlaced) {
    long height = static_cast<long>(frame.GetHeight());
    long width = static_cast<long>(frame.GetWidth());
    long row;
    if (interlaced) {
        if (m_pass > 3) return false;  // more lines than the passes hold: dropped
        row = m_rowCursor;
        m_rowCursor += m_rowStep;
        static const long kStart[4] = {0, 4, 2, 1};
        static const long kStep[4] = {8, 8, 4, 2};
        while (m_rowCursor >= height && m_pass <= 3) {
            if (++m_pass > 3) break;
            m_rowCursor = kStart[m_pass];
            m_rowStep = kStep[m_pass];
        }
    } else {
        if (m_rowCursor >= height) return false;
        row = m_rowCursor++;
    }
    uint8_t* dst = frame.GetBits(static_cast<uint32_t>(height - 1 - row));
    switch (frame.GetBpp()) {
        case 8:
            std::memcpy(dst, line, static_cast<size_t>(width));
            break;
        case 4:
            std::memset(dst, 0, static_cast<size_t>((width + 1) / 2));
            for (long x = 0; x < width; ++x) dst[x >> 1] |= static_cast<uint8_t>((line[x] & 0x0F) << ((x & 1) ? 0 : 4));
            break;
        default:
            std::memset(dst, 0, static_cast<size_t>((width + 7) / 8));
            for (long x = 0; x < width; ++x)
                if (line[x] & 1) dst[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
            break;
    }
    return true;
}

// Decodes one image's data into frame; the stream is left after the data's
// terminating block. Returns 0, or a negative error (bad code size, memory, bad
// code); the rows decoded so far stay in the frame.
int PxImageGIF::DecodeLzw(PxFile* stream, PxImage& frame, bool interlaced) {
    m_in = stream;
    m_inPos = m_inHeld = 0;
    m_inEnd = false;
    m_blockLeft = 0;
    m_bitsLeft = 0;
    m_bitBuffer = 0;
    m_dataEnd = false;
    m_rowCursor = 0;
    m_rowStep = 8;
    m_pass = 0;

    int result = 0;
    int minSize = GetByte();
    std::vector<uint8_t> line;
    if (minSize < 2 || minSize > 9) {
        result = kBadCodeSize;
    } else {
        try {
            line.assign(frame.GetWidth(), 0);
        } catch (...) {
            result = kOutOfMemory;
        }
    }
    if (result == 0) {
        m_clearCode = 1 << minSize;
        m_endCode = m_clearCode + 1;
        m_firstFree = m_clearCode + 2;
        m_codeSize = minSize + 1;
        m_nextFree = m_firstFree;
        m_topSlot = 1 << m_codeSize;
        size_t width = line.size(), fill = 0;
        int oldCode = -1, firstByte = 0;
        bool full = false;
        auto emit = [&](const uint8_t* bytes, int count) {
            for (int i = 0; i < count && !full; ++i) {
                line[fill++] = bytes[i];
                if (fill == width) {
                    fill = 0;
                    if (!OutLine(frame, line.data(), interlaced)) full = true;
                }
            }
        };
        while (!full) {
            int code = GetNextCode();
            if (code < 0 || code == m_endCode) break;
            if (code == m_clearCode || oldCode < 0) {
                if (code == m_clearCode) {
                    m_codeSize = minSize + 1;
                    m_nextFree = m_firstFree;
                    m_topSlot = 1 << m_codeSize;
                    do code = GetNextCode();
                    while (code == m_clearCode);
                    if (code < 0 || code == m_endCode) break;
                }
                if (code >= m_nextFree) code = 0;
                oldCode = code;
                firstByte = code & 0xFF;
                uint8_t b = static_cast<uint8_t>(code);
                emit(&b, 1);
                continue;
            }
            int in = code, sp = 0;
            if (code >= m_nextFree) {
                if (code > m_nextFree) {
                    result = kBadCode;
                    break;
                }
                m_stack[sp++] = static_cast<uint8_t>(firstByte);
                code = oldCode;
            }
            while (code >= m_firstFree && sp < kMaxLzwCodes) {
                m_stack[sp++] = m_suffix[code];
                code = m_prefix[code];
            }
            if (code >= m_clearCode) {  // a chain through the clear or end code: corrupt
                result = kBadCode;
                break;
            }
            m_stack[sp++] = static_cast<uint8_t>(code);
            firstByte = code;
            if (m_nextFree < kMaxLzwCodes) {
                m_prefix[m_nextFree] = static_cast<uint16_t>(oldCode);
                m_suffix[m_nextFree] = static_cast<uint8_t>(firstByte);
                ++m_nextFree;
                if (m_nextFree >= m_topSlot && m_codeSize < kMaxLzwBits) {
                    m_topSlot <<= 1;
                    ++m_codeSize;
                }
            }
            oldCode = in;
            // The stack holds the string backwards.
            for (int i = 0; i < sp / 2; ++i) std::swap(m_stack[i], m_stack[sp - 1 - i]);
            emit(m_stack, sp);
        }
        if (fill > 0 && !full) {
            std::memset(line.data() + fill, 0, width - fill);
            OutLine(frame, line.data(), interlaced);
        }
    }

    // Skip what is left of the data up to its terminating block, then give back
    // what the buffer read ahead.
    if (m_blockLeft >= 0) {
        if (result == kBadCodeSize && minSize == 0) {
            m_blockLeft = -1;  // the "code size" was already the terminator
        } else {
            while (m_blockLeft > 0 && GetByte() >= 0) --m_blockLeft;
            for (;;) {
                int n = GetByte();
                if (n <= 0) break;
                while (n-- > 0)
                    if (GetByte() < 0) break;
            }
        }
    }
    long ahead = m_inHeld - m_inPos;
    if (ahead > 0) stream->Seek(-ahead, SEEK_CUR);
    m_in = nullptr;
    return result;
}

bool PxImageGIF::Decode(PxFile* stream) {
    if (!stream) return false;
    uint8_t screen[13];
    if (stream->Read(screen, 13, 1) != 1 || std::memcmp(screen, "GIF8", 4) != 0) return false;
    int screenWidth = PxLE16(screen + 6), screenHeight = PxLE16(screen + 8);
    uint8_t screenFlags = screen[10];
    uint8_t background = screen[11];
    if (screenWidth == 0 || screenHeight == 0) return false;

    if (m_info.escape == -1) {
        m_header.biWidth = screenWidth;
        m_header.biHeight = screenHeight;
        return true;
    }

    ColorTable global;
    int trueColorCount = 0;
    if (screenFlags & 0x80) {
        if (!ReadColorTable(stream, global, 2 << (screenFlags & 7))) return false;
    } else {
        ReadColorTable(stream, global, 0);
        ++trueColorCount;
    }

    int frames = CountFrames(stream, screenWidth, screenHeight);
    m_info.numFrames = frames;
    if (m_info.frame < 0 || m_info.frame >= frames) return false;

    // Counting read the extensions; the walk below reads them again in order.
    m_gce = GraphicControl();
    m_info.transIndex = -1;
    int wanted = m_info.frame;

    bool trueColor = false;   // every frame copied into one 24-bit screen
    bool rgbCanvas = false;   // the composition went to 24 bits (frames with other palettes)
    int firstTrans = -1;
    int prevDisposal = 0;
    RECT prevRect = {0, 0, 0, 0};
    int imageNo = 0;
    bool afterZero = true;
    bool done = false;
    ColorTable lastTable;
    PxImage frame;

    while (!done) {
        if (m_info.escape > 0) return false;
        long c = stream->GetC();
        if (c < 0) break;
        if (!afterZero) {
            afterZero = c == 0;
            continue;
        }
        if (c == '!') {
            if (!DecodeExtension(stream)) break;
            continue;
        }
        if (c == ';') break;
        if (c != ',') {
            afterZero = c == 0;
            continue;
        }

        uint8_t d[9];
        if (stream->Read(d, 9, 1) != 1) break;
        int left = PxLE16(d), top = PxLE16(d + 2), width = PxLE16(d + 4), height = PxLE16(d + 6);
        uint8_t flags = d[8];
        ColorTable local;
        const ColorTable* table = &global;
        if (flags & 0x80) {
            if (!ReadColorTable(stream, local, 2 << (flags & 7))) break;
            table = &local;
        }
        if (width == 0 || height == 0 || left + width > screenWidth || top + height > screenHeight) {
            // Does not fit in the screen: skipped, not counted.
            if (stream->GetC() < 0 || !SkipSubBlocks(stream)) break;
            continue;
        }

        if (imageNo == 0) {
            if (width != screenWidth && height != screenHeight) ++trueColorCount;
            trueColor = frames > 1 && trueColorCount >= 2;
            if (trueColor) wanted = frames - 1;
        }

        int entries = table->size;
        int bits = entries == 0 ? 8 : entries <= 2 ? 1 : entries <= 16 ? 4 : 8;
        if (!frame.Create(static_cast<uint32_t>(width), static_cast<uint32_t>(height), static_cast<uint32_t>(bits),
                          PxFormatGIF)) {
            SetError(frame.GetLastError());
            return false;
        }
        if (entries == 0)
            frame.SetGrayPalette();
        else
            frame.SetPalette(table->colors, frame.GetNumColors());
        frame.SetTransIndex(m_info.transIndex);

        int rc = DecodeLzw(stream, frame, (flags & 0x40) != 0);
        if (rc == kOutOfMemory) {
            SetError("GIF: out of memory");
            return false;
        }
        if (m_info.escape > 0) return false;

        RGBQUAD frameColors[256];
        std::memcpy(frameColors, frame.GetPalette(), frame.GetNumColors() * sizeof(RGBQUAD));
        int frameTrans = frame.GetTransIndex();

        if (trueColor) {
            if (imageNo == 0 &&
                !Create(static_cast<uint32_t>(screenWidth), static_cast<uint32_t>(screenHeight), 24, PxFormatGIF))
                return false;
            for (long y = 0; y < height; ++y)
                for (long x = 0; x < width; ++x)
                    SetPixelColor(left + x, screenHeight - 1 - (top + y),
                                  frameColors[frame.GetPixelIndex(x, height - 1 - y)]);
        } else {
            if (imageNo == 0) {
                // Several frames compose at 8 bits, whatever the first frame's depth.
                uint32_t canvasBits = frames > 1 ? 8 : static_cast<uint32_t>(bits);
                if (!Create(static_cast<uint32_t>(screenWidth), static_cast<uint32_t>(screenHeight), canvasBits,
                            PxFormatGIF))
                    return false;
                Clear(m_gce.transIndex);
                firstTrans = m_info.transIndex;
                SetPalette(frameColors, frame.GetNumColors() < GetNumColors() ? frame.GetNumColors() : GetNumColors());
            } else {
                if (!rgbCanvas) {
                    // A frame with other colours than the canvas: compose in 24 bits from here on
                    // (transparent pixels go to the alpha channel).
                    // The same when an area must be restored to transparency and the
                    // canvas has no transparent index to show it.
                    bool differs = prevDisposal == 2 && firstTrans < 0;
                    for (uint32_t i = 0; i < frame.GetNumColors() && !differs; ++i)
                        differs = !SameColor(frameColors[i], GetPaletteColor(static_cast<uint8_t>(i)));
                    if (differs) {
                        PxImage indexed(*this);
                        if (!Create(static_cast<uint32_t>(screenWidth), static_cast<uint32_t>(screenHeight), 24,
                                    PxFormatGIF))
                            return false;
                        if (firstTrans >= 0) AlphaCreate();
                        for (long y = 0; y < screenHeight; ++y)
                            for (long x = 0; x < screenWidth; ++x) {
                                uint8_t index = indexed.GetPixelIndex(x, y);
                                SetPixelColor(x, y, indexed.GetPaletteColor(index));
                                if (m_alpha) AlphaSet(x, y, index == firstTrans ? 0 : 255);
                            }
                        m_info.transIndex = -1;
                        rgbCanvas = true;
                    }
                }
                if (prevDisposal == 2) {
                    // Restore the previous frame's area to the background: transparent.
                    if (rgbCanvas) AlphaCreate();
                    uint8_t fill = static_cast<uint8_t>(firstTrans >= 0 ? firstTrans : background);
                    for (long y = prevRect.top; y < prevRect.bottom; ++y)
                        for (long x = prevRect.left; x < prevRect.right; ++x) {
                            long row = screenHeight - 1 - y;
                            if (rgbCanvas) {
                                SetPixelColor(x, row, lastTable.colors[fill]);
                                if (m_alpha) AlphaSet(x, row, 0);
                            } else {
                                SetPixelIndex(x, row, fill);
                            }
                        }
                }
            }
            // Lay the frame over the canvas (GifMix): transparent pixels let it show.
            for (long y = 0; y < height; ++y) {
                long row = screenHeight - 1 - (top + y);
                for (long x = 0; x < width; ++x) {
                    uint8_t index = frame.GetPixelIndex(x, height - 1 - y);
                    if (index == frameTrans) continue;
                    if (rgbCanvas) {
                        SetPixelColor(left + x, row, frameColors[index]);
                        if (m_alpha) AlphaSet(left + x, row, 255);
                    } else {
                        SetPixelIndex(left + x, row, index);
                    }
                }
            }
            if (!rgbCanvas) {
                SetPalette(frameColors, frame.GetNumColors() < GetNumColors() ? frame.GetNumColors() : GetNumColors());
                m_info.transIndex = firstTrans;
            }
        }
        lastTable = *table;
        if (table->size == 0) std::memcpy(lastTable.colors, frame.GetPalette(), frame.GetNumColors() * sizeof(RGBQUAD));
        prevDisposal = (m_gce.flags >> 2) & 7;
        prevRect = {left, top, left + width, top + height};
        afterZero = true;
        if (imageNo == wanted) done = true;
        ++imageNo;
    }

    if (!IsValid()) return false;
    if (trueColor) {
        if (m_gce.flags & 1) {
            SetTransColor(lastTable.colors[m_gce.transIndex]);
            m_info.transIndex = 0;
        } else {
            m_info.transIndex = -1;
        }
    }
    m_info.formatCode = PxFormatGIF;
    return true;
}
