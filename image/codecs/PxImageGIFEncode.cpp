// GIF writer: the header, extensions and image descriptors of single images,
// true-colour mosaics and animations; the image data goes to the LZW, plain or
// run-length coder.
#include "image/codecs/PxImageGIF.h"

#include <cstring>
#include <memory>

#include "image/PxFile.h"
#include "image/PxIOFile.h"
#include "image/codecs/PxByteOrder.h"

void PxImageGIF::PutBytes(const void* data, size_t size) {
    if (size && m_out->Write(data, 1, size) != size) m_writeFailed = true;
}
void PxImageGIF::PutByte(uint8_t value) { PutBytes(&value, 1); }
void PxImageGIF::PutWord(uint16_t value) {
    uint8_t b[2];
    PxPutLE16(b, value);
    PutBytes(b, 2);
}

bool PxImageGIF::FinishWrite(PxFile* stream) {
    if (!stream->Flush()) m_writeFailed = true;
    if (m_writeFailed) {
        SetError("Write Error in GIF file");
        return false;
    }
    return true;
}

bool PxImageGIF::Encode(FILE* file) {
    PxIOFile stream(file);
    return Encode(file ? &stream : nullptr);
}

bool PxImageGIF::Encode(FILE* file, PxImage** pages, int pageCount, bool localColorMap) {
    PxIOFile stream(file);
    return Encode(file ? &stream : nullptr, pages, pageCount, localColorMap);
}

bool PxImageGIF::Encode(PxFile* stream) {
    if (EncodeSafeCheck(stream)) return false;
    m_out = stream;
    m_writeFailed = false;
    if (GetBpp() > 8) return EncodeRGB(stream);
    EncodeHeader(stream);
    EncodeExtension(stream);
    EncodeComment(stream);
    EncodeBody(stream, false);
    PutByte(0x3B);
    return FinishWrite(stream);
}

void PxImageGIF::EncodeHeader(PxFile* stream) {
    m_out = stream;
    PutBytes("GIF89a", 6);
    PutWord(static_cast<uint16_t>(GetWidth()));
    PutWord(static_cast<uint16_t>(GetHeight()));
    uint32_t bits = GetBpp();
    bool palette = GetPalette() != nullptr;
    PutByte(palette ? static_cast<uint8_t>(0x80 | ((bits - 1) & 3) << 5 | (bits - 1)) : 0x11);
    PutByte(0);  // background index
    PutByte(0);  // aspect
    if (palette) {
        RGBQUAD* colors = GetPalette();
        for (uint32_t i = 0; i < GetNumColors(); ++i) {
            uint8_t rgb[3] = {colors[i].rgbRed, colors[i].rgbGreen, colors[i].rgbBlue};
            PutBytes(rgb, 3);
        }
    }
}

void PxImageGIF::EncodeExtension(PxFile* stream) {
    m_out = stream;
    uint8_t ext[8] = {0x21, 0xF9, 0x04, 0, 0, 0, 0, 0};
    ext[3] = static_cast<uint8_t>(((m_disposal << 2) & 0x1F) | (IsTransparent() ? 1 : 0));
    PxPutLE16(ext + 4, static_cast<uint16_t>(m_info.frameDelay));
    ext[6] = static_cast<uint8_t>(m_info.transIndex);
    PutBytes(ext, 8);
}

void PxImageGIF::EncodeLoopExtension(PxFile* stream) {
    m_out = stream;
    PutBytes("\x21\xFF\x0BNETSCAPE2.0\x03\x01", 16);
    PutWord(static_cast<uint16_t>(m_loops));
    PutByte(0);
}

void PxImageGIF::EncodeComment(PxFile* stream) {
    m_out = stream;
    size_t length = std::strlen(m_comment);
    if (length == 0) return;
    if (length > kMaxComment) length = kMaxComment;
    PutByte(0x21);
    PutByte(0xFE);
    PutByte(static_cast<uint8_t>(length));
    PutBytes(m_comment, length);
    PutByte(0);
}

int PxImageGIF::GifNextPixel() {
    if (m_pixelsLeft == 0) return -1;
    --m_pixelsLeft;
    int index = BlindGetPixelIndex(m_curX, static_cast<long>(GetHeight()) - 1 - m_curY);
    if (++m_curX == static_cast<long>(GetWidth())) {
        m_curX = 0;
        ++m_curY;
    }
    return index;
}

void PxImageGIF::EncodeBody(PxFile* stream, bool localColorMap) {
    m_out = stream;
    m_curX = 0;
    m_curY = 0;
    m_pixelsLeft = static_cast<long>(GetWidth()) * static_cast<long>(GetHeight());
    int bits = GetBpp();
    PutByte(0x2C);
    PutWord(static_cast<uint16_t>(m_info.xOffset));
    PutWord(static_cast<uint16_t>(m_info.yOffset));
    PutWord(static_cast<uint16_t>(GetWidth()));
    PutWord(static_cast<uint16_t>(GetHeight()));
    PutByte(localColorMap ? static_cast<uint8_t>(0x80 | (bits - 1)) : 0);
    if (localColorMap) {
        RGBQUAD* colors = GetPalette();
        for (uint32_t i = 0; i < GetNumColors(); ++i) {
            uint8_t rgb[3] = {colors[i].rgbRed, colors[i].rgbGreen, colors[i].rgbBlue};
            PutBytes(rgb, 3);
        }
    }
    int codeSize = bits < 2 ? 2 : bits;
    PutByte(static_cast<uint8_t>(codeSize));
    switch (GetCodecOption(PxFormatGIF)) {
        case 1: CompressNONE(codeSize + 1); break;
        case 2: CompressRLE(codeSize + 1); break;
        default: CompressLZW(codeSize + 1); break;
    }
    PutByte(0);
}

bool PxImageGIF::EncodeRGB(PxFile* stream) {
    EncodeHeader(stream);
    EncodeComment(stream);
    long width = static_cast<long>(GetWidth()), height = static_cast<long>(GetHeight());
    bool transparent = IsTransparent();
    RGBQUAD trans = GetTransColor();
    std::unique_ptr<PxImageGIF> tile(new PxImageGIF());
    for (long ty = 0; ty < height; ty += 15) {
        for (long tx = 0; tx < width; tx += 17) {
            long tw = width - tx < 17 ? width - tx : 17;
            long th = height - ty < 15 ? height - ty : 15;
            if (!tile->Create(static_cast<uint32_t>(tw), static_cast<uint32_t>(th), 8, PxFormatGIF)) {
                SetError(tile->GetLastError());
                return false;
            }
            RGBQUAD* colors = tile->GetPalette();
            std::memset(colors, 0, 256 * sizeof(RGBQUAD));
            if (transparent) colors[0] = trans;
            for (long r = 0; r < th; ++r)
                for (long c = 0; c < tw; ++c) {
                    RGBQUAD color = GetPixelColor(tx + c, height - 1 - (ty + r), false);
                    color.rgbReserved = 0;
                    uint8_t index = static_cast<uint8_t>(1 + r * 17 + c);
                    colors[index] = color;
                    if (transparent && SameColor(color, trans)) index = 0;
                    tile->SetPixelIndex(c, th - 1 - r, index);
                }
            tile->SetTransIndex(transparent ? 0 : -1);
            tile->SetOffset(static_cast<int32_t>(tx), static_cast<int32_t>(ty));
            tile->SetFrameDelay(m_info.frameDelay);
            tile->SetCodecOption(GetCodecOption(PxFormatGIF), PxFormatGIF);
            tile->m_disposal = m_disposal;
            tile->m_writeFailed = false;
            tile->EncodeExtension(stream);
            tile->EncodeBody(stream, true);
            if (tile->m_writeFailed) m_writeFailed = true;
        }
    }
    PutByte(0x3B);
    return FinishWrite(stream);
}

bool PxImageGIF::Encode(PxFile* stream, PxImage** pages, int pageCount, bool localColorMap) {
    if (!stream) {
        SetError("invalid file pointer");
        return false;
    }
    if (!pages || pageCount <= 0 || !pages[0]) {
        SetError("multipage GIF, no images!");
        return false;
    }
    for (int i = 0; i < pageCount; ++i) {
        if (!pages[i]) {
            SetError("Bad image pointer");
            return false;
        }
        if (!pages[i]->IsValid()) {
            SetError("null image!!!");
            return false;
        }
        // A page is written with its palette: deeper pages have none.
        if (pages[i]->GetBpp() > 8) {
            SetError("multipage GIF, pages must have 8 bits per pixel or fewer");
            return false;
        }
    }
    std::unique_ptr<PxImageGIF> gif(new PxImageGIF());
    gif->Ghost(pages[0]);
    gif->m_writeFailed = false;
    gif->EncodeHeader(stream);
    if (m_loops != 1) {
        gif->m_loops = m_loops - 1 < 0 ? 0 : m_loops - 1;
        gif->EncodeLoopExtension(stream);
    }
    gif->m_disposal = m_disposal;
    gif->EncodeExtension(stream);
    gif->SetComment(m_comment);
    gif->EncodeComment(stream);
    gif->EncodeBody(stream, false);
    bool failed = gif->m_writeFailed;
    for (int i = 1; i < pageCount; ++i) {
        gif->Ghost(pages[i]);
        gif->m_disposal = m_disposal;
        gif->m_writeFailed = false;
        gif->EncodeExtension(stream);
        // A page whose colours differ from the first page's needs a table of its own.
        gif->EncodeBody(stream, localColorMap || !pages[i]->IsSamePalette(*pages[0], false));
        failed = failed || gif->m_writeFailed;
    }
    m_out = stream;
    m_writeFailed = failed;
    PutByte(0x3B);
    return FinishWrite(stream);
}
