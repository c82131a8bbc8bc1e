#include "image/codecs/PxRleDecoder.h"

#include "image/PxFile.h"

// Run-length coding, as documented for BITMAPINFOHEADER.biCompression: a count
// byte then a value (an encoded run), or 0 and a code: 0 end of line, 1 end of
// bitmap, 2 delta (dx, dy), 3..255 an absolute run padded to 16 bits.

void PxRleDecoder::DecodeRle8(PxFile* in, uint8_t* pixels, uint32_t rowSize, uint32_t height) {
    if (!in || !pixels) return;
    uint64_t row = 0, pos = 0;
    for (;;) {
        if (row >= height) return;  // rows only grow: nothing more can be written
        long count = in->GetC();
        if (count < 0) return;
        if (count != 0) {
            long value = in->GetC();
            if (value < 0) return;
            if (pos + count > rowSize) return;  // a run past the row ends the bitmap
            uint8_t* dst = pixels + row * rowSize + pos;
            for (long i = 0; i < count; ++i) dst[i] = static_cast<uint8_t>(value);
            pos += count;
            continue;
        }
        long code = in->GetC();
        if (code < 0) return;
        if (code == 0) {
            ++row;
            pos = 0;
        } else if (code == 1) {
            return;
        } else if (code == 2) {
            long dx = in->GetC(), dy = in->GetC();
            if (dx < 0 || dy < 0) return;
            pos += dx;
            row += dy;
        } else {
            for (long i = 0; i < code; ++i) {
                long v = in->GetC();
                if (v < 0) return;
                if (pos < rowSize) pixels[row * rowSize + pos] = static_cast<uint8_t>(v);
                ++pos;
            }
            if (code & 1) in->GetC();
        }
    }
}

void PxRleDecoder::DecodeRle4(PxFile* in, uint8_t* pixels, uint32_t rowSize, uint32_t height) {
    if (!in || !pixels) return;
    const uint64_t rowNibbles = static_cast<uint64_t>(rowSize) * 2;
    uint64_t row = 0, nibble = 0;
    auto put = [&](uint8_t v) {
        if (nibble < rowNibbles) {
            uint8_t& b = pixels[row * rowSize + nibble / 2];
            if (nibble & 1) b = static_cast<uint8_t>((b & 0xF0) | (v & 0x0F));
            else b = static_cast<uint8_t>((b & 0x0F) | (v << 4));
        }
        ++nibble;
    };
    for (;;) {
        if (row >= height) return;
        long count = in->GetC();
        if (count < 0) return;
        if (count != 0) {
            long value = in->GetC();
            if (value < 0) return;
            for (long i = 0; i < count; ++i) put(static_cast<uint8_t>((i & 1) ? (value & 0x0F) : (value >> 4)));
            continue;
        }
        long code = in->GetC();
        if (code < 0) return;
        if (code == 0) {
            ++row;
            nibble = 0;
        } else if (code == 1) {
            return;
        } else if (code == 2) {
            long dx = in->GetC(), dy = in->GetC();
            if (dx < 0 || dy < 0) return;
            nibble += dx;  // dx counts pixels, which are nibbles here
            row += dy;
        } else {
            long bytes = (code + 1) / 2;
            for (long i = 0; i < bytes; ++i) {
                long v = in->GetC();
                if (v < 0) return;
                put(static_cast<uint8_t>(v >> 4));
                if (2 * i + 1 < code) put(static_cast<uint8_t>(v & 0x0F));
            }
            if (bytes & 1) in->GetC();
        }
    }
}
