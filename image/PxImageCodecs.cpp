// Choosing the format class by code, and the stream, FILE*, memory and path forms
// of encoding and decoding.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "image/PxFile.h"
#include "image/PxIOFile.h"
#include "image/PxImage.h"
#include "image/PxMemFile.h"
#include "image/PxPath.h"
#include "image/codecs/PxImageBMP.h"
#include "image/codecs/PxImageGIF.h"
#include "image/codecs/PxImageICO.h"
#include "image/codecs/PxImageJAS.h"
#include "image/codecs/PxImageJPG.h"
#include "image/codecs/PxImagePCX.h"
#include "image/codecs/PxImagePNG.h"
#include "image/codecs/PxImageTGA.h"
#include "image/codecs/PxImageWBMP.h"

bool PxImage::EncodeSafeCheck(PxFile* stream) {
    if (!stream) {
        SetError("null file handler");
        return true;
    }
    if (!m_dib) {
        SetError("null image!!!");
        return true;
    }
    return false;
}

// The format object aliases this image (a ghost frees nothing) and is discarded.
#define PX_ENCODE_WITH(FormatClass)                               \
    do {                                                          \
        FormatClass format;                                       \
        static_cast<PxImage&>(format).Ghost(this);                \
        bool ok = format.Encode(stream);                          \
        if (!ok) SetError(format.GetLastError());                 \
        return ok;                                                \
    } while (false)

bool PxImage::Encode(PxFile* stream, uint32_t formatCode) {
    switch (formatCode) {
        case PxFormatBMP: PX_ENCODE_WITH(PxImageBMP);
        case PxFormatGIF: PX_ENCODE_WITH(PxImageGIF);
        case PxFormatJPG: PX_ENCODE_WITH(PxImageJPG);
        case PxFormatPNG: PX_ENCODE_WITH(PxImagePNG);
        case PxFormatICO: PX_ENCODE_WITH(PxImageICO);
        case PxFormatTGA: PX_ENCODE_WITH(PxImageTGA);
        case PxFormatPCX: PX_ENCODE_WITH(PxImagePCX);
        case PxFormatWBMP: PX_ENCODE_WITH(PxImageWBMP);
        case PxFormatJP2:
        case PxFormatJPC:
        case PxFormatPGX:
        case PxFormatPNM:
        case PxFormatRAS: {
            // One class for the JPEG-2000 family: the code travels as an argument.
            PxImageJAS format;
            static_cast<PxImage&>(format).Ghost(this);
            bool ok = format.Encode(stream, formatCode);
            if (!ok) SetError(format.GetLastError());
            return ok;
        }
        default:
            SetError("Encode: Unknown format");
            return false;
    }
}
#undef PX_ENCODE_WITH

bool PxImage::Encode(PxFile* stream, PxImage** pages, long pageCount, uint32_t formatCode) {
    if (formatCode != PxFormatGIF) {
        SetError("Multipage Encode, Unsupported operation for this format");
        return false;
    }
    // A fresh GIF object (loop count 0, disposal 0, no comment) writes the pages.
    std::unique_ptr<PxImageGIF> gif(new PxImageGIF());
    static_cast<PxImage&>(*gif).Ghost(this);
    bool ok = gif->Encode(stream, pages, static_cast<int>(pageCount), false);
    if (!ok) SetError(gif->GetLastError());
    return ok;
}

bool PxImage::Encode(FILE* file, uint32_t formatCode) {
    PxIOFile stream(file);
    return Encode(file ? &stream : nullptr, formatCode);
}

bool PxImage::Encode(FILE* file, PxImage** pages, long pageCount, uint32_t formatCode) {
    PxIOFile stream(file);
    return Encode(file ? &stream : nullptr, pages, pageCount, formatCode);
}

bool PxImage::Encode(uint8_t*& buffer, long& size, uint32_t formatCode) {
    if (buffer) {
        SetError("the buffer must be empty");
        return false;
    }
    PxMemFile stream;
    if (!stream.Open()) {
        SetError("PxImage::Create can't allocate memory");
        return false;
    }
    if (!Encode(&stream, formatCode)) return false;  // the stream frees its block
    size = stream.Size();
    buffer = stream.GetBuffer(true);
    return true;
}

bool PxImage::Encode2RGBA(PxFile* stream) {
    if (EncodeSafeCheck(stream)) return false;
    long w = static_cast<long>(GetWidth()), h = static_cast<long>(GetHeight());
    for (long y = 0; y < h; ++y) {
        for (long x = 0; x < w; ++x) {
            RGBQUAD c = BlindGetPixelColor(x, y);
            uint8_t px[4] = {c.rgbRed, c.rgbGreen, c.rgbBlue, c.rgbReserved};
            if (stream->Write(px, 4, 1) != 1) {
                SetError("Write Error");
                return false;
            }
        }
    }
    return true;
}

bool PxImage::Encode2RGBA(uint8_t*& buffer, long& size) {
    if (buffer) {
        SetError("the buffer must be empty");
        return false;
    }
    PxMemFile stream;
    if (!stream.Open()) return false;
    if (!Encode2RGBA(&stream)) return false;
    size = stream.Size();
    buffer = stream.GetBuffer(true);
    return true;
}

#define PX_DECODE_WITH(FormatClass, copyFrames)                       \
    do {                                                              \
        FormatClass format;                                           \
        static_cast<PxImage&>(format).CopyInfo(*this);                \
        if (format.Decode(stream)) {                                  \
            Transfer(format);                                         \
            return true;                                              \
        }                                                             \
        if (report) {                                                 \
            SetError(format.GetLastError());                          \
            if (copyFrames) m_info.numFrames = format.GetNumFrames(); \
        }                                                             \
        return false;                                                 \
    } while (false)

bool PxImage::DecodeWith(PxFile* stream, uint32_t formatCode, bool report) {
    switch (formatCode) {
        case PxFormatBMP: PX_DECODE_WITH(PxImageBMP, false);
        case PxFormatGIF: PX_DECODE_WITH(PxImageGIF, true);
        case PxFormatJPG: PX_DECODE_WITH(PxImageJPG, false);
        case PxFormatPNG: PX_DECODE_WITH(PxImagePNG, false);
        case PxFormatICO: PX_DECODE_WITH(PxImageICO, true);
        case PxFormatTGA: PX_DECODE_WITH(PxImageTGA, false);
        case PxFormatPCX: PX_DECODE_WITH(PxImagePCX, false);
        case PxFormatWBMP: PX_DECODE_WITH(PxImageWBMP, false);
        case PxFormatUnknown:  // the last automatic try: the family recognises its kinds
        case PxFormatJP2:
        case PxFormatJPC:
        case PxFormatPGX:
        case PxFormatPNM:
        case PxFormatRAS: PX_DECODE_WITH(PxImageJAS, true);
        default:
            if (report) SetError("Decode: Unknown or wrong format");
            return false;
    }
}
#undef PX_DECODE_WITH

bool PxImage::Decode(PxFile* stream, uint32_t formatCode) {
    if (formatCode == PxFormatUnknown) {
        if (!stream) {
            SetError("Decode: Unknown or wrong format");
            return false;
        }
        long position = stream->Tell();
        static const uint32_t kOrder[] = {PxFormatBMP, PxFormatJPG, PxFormatICO, PxFormatGIF, PxFormatPNG,
                                          PxFormatTGA, PxFormatPCX, PxFormatWBMP, PxFormatUnknown};
        for (uint32_t code : kOrder) {
            stream->Seek(position, SEEK_SET);
            if (DecodeWith(stream, code, false)) return true;
        }
        stream->Seek(position, SEEK_SET);
        SetError("Decode: Unknown or wrong format");
        return false;
    }
    return DecodeWith(stream, formatCode, true);
}

bool PxImage::Decode(FILE* file, uint32_t formatCode) {
    PxIOFile stream(file);
    return Decode(file ? &stream : nullptr, formatCode);
}

bool PxImage::Decode(uint8_t* buffer, uint32_t size, uint32_t formatCode) {
    PxMemFile stream(buffer, size);
    return Decode(buffer ? &stream : nullptr, formatCode);
}

bool PxImage::Load(const PxPathChar* path, uint32_t formatCode) {
    bool ok = false;
    if (formatCode > PxFormatUnknown && formatCode < PxMaxFormats) {
        FILE* file = PxOpenFile(path, "rb");
        if (!file) return false;
        ok = Decode(file, formatCode);
        std::fclose(file);
        if (ok) return true;
    }
    char kept[sizeof(m_info.lastError)];
    std::memcpy(kept, m_info.lastError, sizeof(kept));
    FILE* file = PxOpenFile(path, "rb");
    if (!file) return false;
    ok = Decode(file, PxFormatUnknown);
    std::fclose(file);
    // The caller asked for one format: say why that one failed.
    if (!ok && formatCode != PxFormatUnknown) std::memcpy(m_info.lastError, kept, sizeof(kept));
    return ok;
}

bool PxImage::Save(const PxPathChar* path, uint32_t formatCode) {
    FILE* file = PxOpenFile(path, "wb");
    if (!file) return false;
    bool ok = Encode(file, formatCode);
    // A file that cannot be flushed or closed was not written.
    bool flushed = std::fflush(file) == 0;
    bool closed = std::fclose(file) == 0;
    if (ok && (!flushed || !closed)) {
        SetError("Write Error");
        ok = false;
    }
    if (!ok) PxRemoveFile(path);
    return ok;
}
