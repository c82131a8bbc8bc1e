#pragma once
// The small image library that the JPEG-2000 family format class works with:
// images as planes of integer samples, read and written as JP2 and JPEG-2000
// code streams (through OpenJPEG), PGX, PNM and Sun raster (our own readers and
// writers). Every function reports failure by its result; nothing prints.
#include <cstdint>
#include <string>
#include <vector>

class PxFile;

namespace jas {

struct Component {
    uint32_t width = 0, height = 0;
    uint32_t dx = 1, dy = 1;
    int precision = 8;
    bool isSigned = false;
    std::vector<int32_t> samples;  // rows top-down
};

enum ColorSpace { kUnknownSpace, kRgb, kGray, kSycc };

struct Image {
    std::vector<Component> components;
    ColorSpace space = kUnknownSpace;
};

// Kinds, numbered as the library's format codes.
enum Kind { kNoKind = 0, kJp2 = 9, kJpc = 10, kPgx = 11, kPnm = 12, kRas = 13 };

// The kind of the file at the stream's position, by its signature; the
// position is kept.
Kind Recognize(PxFile* stream);

// Readers: true with the image, false for a file they cannot read or one whose
// samples would take more than maxBytes (checked before they are allocated).
// `tooManyComponents` is set when a code stream holds more than 64 components.
bool ReadOpenJpeg(PxFile* stream, bool codestream, uint64_t maxBytes, Image& image, bool* tooManyComponents);
bool ReadPgx(PxFile* stream, uint64_t maxBytes, Image& image);
bool ReadPnm(PxFile* stream, uint64_t maxBytes, Image& image);
bool ReadRas(PxFile* stream, uint64_t maxBytes, Image& image);

// Writers of 8-bit unsigned images with one (grey) or three (red, green, blue)
// components of equal size. quality 100 is lossless; below, the code stream is
// made quality / 100 of the lossless size.
bool WriteOpenJpeg(PxFile* stream, bool codestream, const Image& image, int quality);
bool WritePgx(PxFile* stream, const Image& image);
bool WritePnm(PxFile* stream, const Image& image);
bool WriteRas(PxFile* stream, const Image& image);

// Largest number of components a decoded image may have.
constexpr size_t kMaxComponents = 64;

// True when w x h samples for each of `count` components fit in maxBytes.
bool SamplesFit(uint64_t width, uint64_t height, uint64_t count, uint64_t maxBytes);

}  // namespace jas
