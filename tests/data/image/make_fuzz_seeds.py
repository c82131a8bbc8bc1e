#!/usr/bin/env python3
"""Writes the hand-made seed files of the image fuzz corpus (tests/fuzz/corpus/*).

Layouts no reference tool writes on request: RLE4 with an odd delta, 5-6-5
bitfields, 32-bit rows, top-down rows, ICO entries of 256 pixels, and JPEGs with
EXIF blocks in both byte orders (one with a directory that links to itself).
Run from the repository root: python3 tests/data/image/make_fuzz_seeds.py
"""
import os
import struct

CORPUS = os.path.join("tests", "fuzz", "corpus")


def bmp(width, height, bits, compression, palette=b"", masks=b"", pixels=b""):
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, 0, 2835, 2835,
                       len(palette) // 4, 0)
    offset = 14 + len(info) + len(masks) + len(palette)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return head + info + masks + palette + pixels


def grey_palette(n):
    return b"".join(bytes([i * 255 // (n - 1)] * 3 + [0]) for i in range(n))


def write(folder, name, data):
    os.makedirs(os.path.join(CORPUS, folder), exist_ok=True)
    with open(os.path.join(CORPUS, folder, name), "wb") as f:
        f.write(data)


def exif_jpeg(big_endian, self_link):
    e = ">" if big_endian else "<"
    order = b"MM" if big_endian else b"II"
    make = b"Seed Cam\0"
    entries = [(271, 2, len(make), 8 + 2 + 12 * 3 + 4), (274, 3, 1, 1 << (16 if big_endian else 0)),
               (0x8769, 4, 1, 8 if self_link else 8 + 2 + 12 * 3 + 4 + len(make))]
    ifd = struct.pack(e + "H", len(entries))
    for tag, fmt, count, value in entries:
        ifd += struct.pack(e + "HHII", tag, fmt, count, value)
    ifd += struct.pack(e + "I", 0)
    sub = struct.pack(e + "H", 1) + struct.pack(e + "HHII", 34855, 3, 1, 100 << (16 if big_endian else 0))
    sub += struct.pack(e + "I", 0)
    tiff = order + struct.pack(e + "HI", 42, 8) + ifd + make + sub
    app1 = b"Exif\0\0" + tiff
    segment = b"\xff\xe1" + struct.pack(">H", len(app1) + 2) + app1
    with open(os.path.join(CORPUS, "jpg", "grey.jpg"), "rb") as f:
        jpeg = f.read()
    return jpeg[:2] + segment + jpeg[2:]


def main():
    # RLE4, 8 x 2: a run, an odd delta, an absolute run, end of line, end of bitmap.
    rle4 = bytes([1, 0xF0, 0, 2, 3, 0, 2, 0xA0, 0, 3, 0x12, 0x30, 0, 0, 0, 0, 4, 0x5A, 0, 1])
    write("bmp", "rle4_delta.bmp", bmp(8, 2, 4, 2, grey_palette(16), pixels=rle4))
    pix565 = struct.pack("<4H", 0xF800, 0x07E0, 0x001F, 0xFFFF)
    write("bmp", "bitfields565.bmp", bmp(2, 2, 16, 3, masks=struct.pack("<3I", 0xF800, 0x7E0, 0x1F), pixels=pix565))
    write("bmp", "rgb32.bmp", bmp(2, 2, 32, 0, pixels=bytes(range(16))))
    write("bmp", "topdown.bmp", bmp(2, -2, 24, 0, pixels=bytes(range(16))))
    # ICO: one 24-bit entry whose directory size 0 means 256 pixels (mask rows included).
    body = struct.pack("<IiiHHIIiiII", 40, 256, 512, 1, 24, 0, 0, 0, 0, 0, 0)
    body += bytes(256 * 256 * 3 // 64) + bytes(32 * 4)
    ico = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 0, 0, 0, 0, 1, 24, len(body), 22) + body
    write("ico", "entry256_truncated.ico", ico)
    write("jpg", "exif_ii.jpg", exif_jpeg(False, False))
    write("jpg", "exif_mm.jpg", exif_jpeg(True, False))
    write("jpg", "exif_loop.jpg", exif_jpeg(False, True))
    for folder in ("bmp", "ico", "png", "jpg"):
        for name in sorted(os.listdir(os.path.join(CORPUS, folder)))[:3]:
            with open(os.path.join(CORPUS, folder, name), "rb") as f:
                write("image", folder + "_" + name, f.read())


if __name__ == "__main__":
    main()
