#!/usr/bin/python3
"""Operations that ImageMagick does not define the same way, against small numpy
computations of their definitions: FFT2, Contour, Filter, UnsharpMask, channel repair,
a bilinear free rotation, Skew and CircleTransform type 4.

Images travel as uncompressed BMP files: rows are stored from the bottom up, the
same order as the library's rows, so array row y is image row y.
Usage: pximg_numpy_test.py PATH_TO_PXIMG. Exit 77 (skipped) without numpy.
"""
import math
import os
import struct
import subprocess
import sys
import tempfile

try:
    import numpy as np
except ImportError:
    print("skipped: numpy not available for " + sys.executable)
    sys.exit(77)

PXIMG = sys.argv[1]
TMP = tempfile.mkdtemp()
failures = 0
checks = 0


def write_bmp(path, a):
    """a: (h, w) grey (8-bit, grey palette) or (h, w, 3) RGB, row 0 at the bottom."""
    h, w = a.shape[:2]
    grey = a.ndim == 2
    bpp = 8 if grey else 24
    row = (w * bpp // 8 + 3) & ~3
    palette = b"".join(bytes((i, i, i, 0)) for i in range(256)) if grey else b""
    offset = 14 + 40 + len(palette)
    data = bytearray()
    for y in range(h):
        line = a[y].astype(np.uint8).tobytes() if grey else a[y][:, ::-1].astype(np.uint8).tobytes()
        data += line + b"\0" * (row - len(line))
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, bpp, 0, len(data), 2835, 2835, 256 if grey else 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + palette + bytes(data))


def read_bmp(path):
    raw = open(path, "rb").read()
    offset = struct.unpack_from("<I", raw, 10)[0]
    w, h, _, bpp = struct.unpack_from("<iiHH", raw, 18)
    row = (w * bpp // 8 + 3) & ~3
    rows = [raw[offset + y * row: offset + y * row + w * bpp // 8] for y in range(abs(h))]
    a = np.frombuffer(b"".join(rows), dtype=np.uint8)
    if bpp == 8:  # grey palette: the index is the level
        return a.reshape(abs(h), w).astype(np.int64)
    return a.reshape(abs(h), w, 3)[:, :, ::-1].astype(np.int64)


def op(src, *args, name="out"):
    inp = os.path.join(TMP, name + "_in.bmp")
    out = os.path.join(TMP, name + ".bmp")
    write_bmp(inp, src)
    subprocess.run([PXIMG, "op", inp, out] + [str(a) for a in args], check=True)
    return read_bmp(out)


def check(what, ours, ref, limit, mask=None):
    global failures, checks
    checks += 1
    d = np.abs(ours.astype(np.int64) - ref.astype(np.int64))
    if mask is not None:
        d = d[mask]
    worst = int(d.max()) if d.size else 0
    if worst <= limit:
        print("ok   %s (largest difference %d)" % (what, worst))
    else:
        failures += 1
        print("FAIL %s (largest difference %d, allowed %d)" % (what, worst, limit))


def trunc_clip(v):
    return np.clip(np.trunc(v), 0, 255)


rng = np.random.default_rng(20261210)

# ---- Forward colour conversions in single precision, over 65536 colours.
ys, xs = np.mgrid[0:256, 0:256]
card = np.stack([xs, ys, (xs * 7 + ys * 13) % 256], axis=-1)
R, G, B = (card[..., i].astype(np.float32) for i in range(3))
f32 = np.float32
Y = np.trunc(f32(0.299) * R + f32(0.587) * G + f32(0.114) * B)
spaces = {
    "yuv": (Y, (B - Y) * f32(0.565) + f32(128), (R - Y) * f32(0.713) + f32(128)),
    "yiq": (f32(0.2992) * R + f32(0.5868) * G + f32(0.1140) * B,
            f32(0.5960) * R - f32(0.2742) * G - f32(0.3219) * B + f32(128),
            f32(0.2109) * R - f32(0.5229) * G + f32(0.3120) * B + f32(128)),
    "xyz": (f32(0.412453) * R + f32(0.357580) * G + f32(0.180423) * B,
            f32(0.212671) * R + f32(0.715160) * G + f32(0.072169) * B,
            (f32(0.019334) * R + f32(0.119193) * G + f32(0.950227) * B) * f32(0.9184837)),
}
mx, mn = card.max(axis=-1), card.min(axis=-1)
L = ((mx + mn) * 255 + 255) // 510
span = np.maximum(mx - mn, 1)
dd = np.where(L <= 127, mx + mn, 510 - mx - mn)
S = np.where(mx == mn, 0, ((mx - mn) * 255 + np.maximum(dd, 1) // 2) // np.maximum(dd, 1))
delta = [((mx - card[..., i]) * 42 + span // 2) // span for i in range(3)]
H = np.where(card[..., 0] == mx, delta[2] - delta[1],
             np.where(card[..., 1] == mx, 85 + delta[0] - delta[2], 170 + delta[1] - delta[0]))
spaces["hsl"] = (np.where(mx == mn, 170, H % 256), S, L)
for space, comps in spaces.items():
    for n in range(3):
        # Integer HSL is exact; float evaluation order may move a value by 1.
        check("%s channel %d" % (space, n), op(card, "channel", space, n), trunc_clip(comps[n]),
              0 if space == "hsl" else 1)

# ---- FFT2: value = index - 128; output 128 + g v, or the magnitude form.
for w, h in ((8, 8), (6, 5)):
    src = rng.integers(96, 160, size=(h, w))
    z = src.astype(np.float64) - 128
    g = 2.0 ** (math.log(max(w, h)) / math.log(2) - 4)
    fwd = np.fft.fft2(z) / (w * h)
    check("fft2 forward real %dx%d" % (w, h), op(src, "fft2", 1, 0, 0), trunc_clip(128 + g * fwd.real), 1)
    check("fft2 forward imaginary %dx%d" % (w, h), op(src, "fft2", 1, 0, 0, "imag"), trunc_clip(128 + g * fwd.imag), 1)
    inv = np.fft.ifft2(z) * (w * h)
    check("fft2 inverse real %dx%d" % (w, h), op(src, "fft2", -1, 0, 0), trunc_clip(128 + inv.real / g), 1)
    g4 = 4 * g
    with np.errstate(divide="ignore"):
        mag = trunc_clip(g4 * (3 + np.log(np.abs(fwd))))
    re = np.where(fwd.real == 0, 1e-10, fwd.real)
    check("fft2 magnitude %dx%d" % (w, h), op(src, "fft2", 1, 0, 1), mag, 1)
    check("fft2 phase %dx%d" % (w, h), op(src, "fft2", 1, 0, 1, "imag"), trunc_clip(128 + g4 * np.arctan(fwd.imag / re)), 1)


def outside_is_origin(a, x, y):
    """Pixel (x, y), or pixel (0, 0) outside the image."""
    h, w = a.shape[:2]
    inside = (x >= 0) & (x < w) & (y >= 0) & (y < h)
    return np.where(inside[..., None] if a.ndim == 3 else inside,
                    a[np.clip(y, 0, h - 1), np.clip(x, 0, w - 1)], a[0, 0])


# ---- Contour: per channel m takes the neighbour's value when n - c > m.
src = rng.integers(0, 256, size=(10, 12, 3))
h, w = src.shape[:2]
ys, xs = np.mgrid[0:h, 0:w]
m = np.zeros_like(src)
for dx in (-1, 0, 1):
    for dy in (-1, 0, 1):
        n = outside_is_origin(src, xs + dx, ys + dy)
        m = np.where(n - src > m, n, m)
check("contour", op(src, "contour"), 255 - m, 0)


# ---- Filter: integer window sums (kernel rows from the bottom up), divided with C's
# truncation, plus the offset, clamped. Colour windows read pixel (0, 0) outside the
# image; grey pixels whose window leaves the image keep their value.
def c_divide(a, d):
    q = np.abs(a) // abs(d)
    return np.where((a < 0) != (d < 0), -q, q)


for shape in ((23, 37, 3), (15, 29)):
    src = rng.integers(0, 256, size=shape)
    h, w = shape[:2]
    ys, xs = np.mgrid[0:h, 0:w]
    for kernel, divisor, offset in (([1] * 9, 9, 0), ([0, -1, 0, -1, 5, -1, 0, -1, 0], 1, 0),
                                    (list(rng.integers(-20, 21, size=9)), 7, 128),
                                    (list(rng.integers(-9, 10, size=25)), -13, 40)):
        k = int(round(len(kernel) ** 0.5))
        k2 = k // 2
        total = np.zeros(src.shape, np.int64)
        for j in range(k):
            for i in range(k):
                total += kernel[j * k + i] * outside_is_origin(src, xs + i - k2, ys + j - k2)
        want = np.clip(offset + c_divide(total, divisor), 0, 255)
        if src.ndim == 2:
            inside = (xs >= k2) & (ys >= k2) & (xs - k2 + k <= w) & (ys - k2 + k <= h)
            want = np.where(inside, want, src)
        check("filter %dx%d %s k %d / %d + %d" % (w, h, "grey" if src.ndim == 2 else "rgb", k, divisor, offset),
              op(src, "filter", divisor, offset, *kernel), want, 0)


# ---- UnsharpMask: Gaussian matrix, edge-normalised line blur, merge.
def convolve_matrix(radius):
    s = np.float32(abs(radius) + 1)
    R = 2 * s
    n = max(1, int(2 * math.ceil(R - 0.5) + 1))
    mtx = np.zeros(n, np.float64)
    for i in range(n // 2 + 1, n):
        base = i - n // 2 - 0.5
        t = np.array([base + 0.02 * j for j in range(1, 51)])
        mtx[i] = np.exp(-(t[t <= R] ** 2) / (2 * s * s)).sum() / 50
    mtx[: n // 2] = mtx[n - 1: n // 2: -1]
    t = np.array([0.5 + 0.02 * j for j in range(51)])
    mtx[n // 2] = np.exp(-(t ** 2) / (2 * s * s)).sum() / 51
    return mtx / mtx.sum()


def blur_lines(a, mtx):
    """Blurs along axis 1 of a (lines, length, channels)."""
    n = len(mtx)
    half = n // 2
    length = a.shape[1]
    out = np.zeros(a.shape, np.float64)
    for r in range(length):
        lo, hi = max(0, r - half), min(length, r - half + n)
        wts = mtx[lo - r + half: hi - r + half]
        out[:, r] = (a[:, lo:hi] * wts[None, :, None]).sum(axis=1) / wts.sum()
    return np.floor(out + 0.5)


src = rng.integers(0, 256, size=(14, 16, 3))
radius, amount, threshold = 1.0, 0.8, 4
mtx = convolve_matrix(radius)
blurred = blur_lines(blur_lines(src, mtx).transpose(1, 0, 2), mtx).transpose(1, 0, 2)
d = src - blurred
d = np.where(np.abs(2 * d) < threshold, 0, d)
check("unsharp mask", op(src, "unsharp", radius, amount, threshold), trunc_clip(src + amount * d), 1)

# ---- Repair in RGB: one curvature step per channel, border unchanged.
src = rng.integers(0, 256, size=(9, 11, 3)).astype(np.float64)
v = src
ix = (v[1:-1, 2:] - v[1:-1, :-2]) * 0.5
iy = (v[2:, 1:-1] - v[:-2, 1:-1]) * 0.5
ixx = v[1:-1, 2:] - 2 * v[1:-1, 1:-1] + v[1:-1, :-2]
iyy = v[2:, 1:-1] - 2 * v[1:-1, 1:-1] + v[:-2, 1:-1]
ixy = (v[2:, 2:] - v[2:, :-2] - v[:-2, 2:] + v[:-2, :-2]) * 0.25
corr = ((1 + iy * iy) * ixx - ix * iy * ixy + (1 + ix * ix) * iyy) / (1 + ix * ix + iy * iy)
ref = src.copy()
ref[1:-1, 1:-1] = trunc_clip(v[1:-1, 1:-1] + 0.3 * corr)
check("repair rgb", op(src.astype(np.int64), "repair", 0.3, 1, 0), ref, 1)

# ---- Rotate2 by 23 degrees, bilinear, where the whole 2 x 2 window is inside.
src = rng.integers(0, 256, size=(12, 15, 3))
h, w = src.shape[:2]
ours = op(src, "rotate2", 23, 2, 1, 0, 0)
a = -23 * math.pi / 180
c, s = math.cos(a), math.sin(a)
corners = [(-0.5, -0.5), (w - 0.5, -0.5), (-0.5, h - 0.5), (w - 0.5, h - 0.5)]
tx = [x * c - y * s for x, y in corners]
ty = [x * s + y * c for x, y in corners]
nw, nh = int(math.floor(max(tx) - min(tx) + 0.5)), int(math.floor(max(ty) - min(ty) + 0.5))
assert ours.shape[:2] == (nh, nw), ours.shape
jj, ii = np.mgrid[0:nh, 0:nw].astype(np.float64)
x = (max(tx) + min(tx) - (nw - 1)) / 2 + ii
y = (max(ty) + min(ty) - (nh - 1)) / 2 + jj
ox, oy = c * x + s * y, c * y - s * x
x0, y0 = np.floor(ox).astype(int), np.floor(oy).astype(int)
inside = (x0 >= 0) & (x0 + 1 < w) & (y0 >= 0) & (y0 + 1 < h)
fx, fy = (ox - x0)[..., None], (oy - y0)[..., None]
cx0, cy0 = np.clip(x0, 0, w - 2), np.clip(y0, 0, h - 2)
bil = ((1 - fx) * (1 - fy) * src[cy0, cx0] + fx * (1 - fy) * src[cy0, cx0 + 1] +
       (1 - fx) * fy * src[cy0 + 1, cx0] + fx * fy * src[cy0 + 1, cx0 + 1])
# The bilinear read uses weights in 1/256 steps: up to 2 from the exact value.
check("rotate2 23 bilinear, interior", ours, np.trunc(bil), 2, inside)

# ---- Skew without interpolation: truncated source position, outside reads (0, 0).
src = rng.integers(0, 256, size=(10, 13, 3))
h, w = src.shape[:2]
ys, xs = np.mgrid[0:h, 0:w]
nx = np.trunc(xs + np.float32(0.25) * (ys - 2)).astype(int)
ny = np.trunc(ys + np.float32(-0.15) * (xs - 3)).astype(int)
check("skew", op(src, "skew", 0.25, -0.15, 3, 2, 0), outside_is_origin(src, nx, ny), 0)

# ---- CircleTransform type 4: (x + x mod 32 - 16, y) inside the circle.
src = rng.integers(0, 256, size=(30, 40, 3))
h, w = src.shape[:2]
ys, xs = np.mgrid[0:h, 0:w]
xmid, ymid = w // 2, h // 2
rmax = int(np.sqrt(np.float32(xmid * xmid + ymid * ymid)))
r = np.sqrt(((xmid - xs) ** 2 + (ymid - ys) ** 2).astype(np.float32))
sx = np.where(r < rmax, xs + np.fmod(xs, 32) - 16, -1)
sy = np.where(r < rmax, ys, -1)
check("circle type 4", op(src, "circle", 4, 0, 1), outside_is_origin(src, sx, sy), 0)

# ---- CircleTransform types 0 to 2: the turned radius, truncated. Single-precision
# sin and cos may round differently here, so a few pixels may read a neighbour.
src = rng.integers(0, 256, size=(40, 40, 3))
h, w = src.shape[:2]
ys, xs = np.mgrid[0:h, 0:w]
xmid, ymid = w // 2, h // 2
rmax = np.float32(18)
dx, dy = (xmid - xs).astype(np.float32), (ymid - ys).astype(np.float32)
r = np.sqrt(dx * dx + dy * dy)
theta = np.arctan2(dy, dx).astype(np.float32)
for kind, rnew, th in ((0, r * r / rmax, theta), (1, np.sqrt(r * rmax), theta), (2, r, theta + r / np.float32(5))):
    sx = np.where(r < rmax, xmid + np.trunc(rnew * np.cos(th)).astype(int), -1)
    sy = np.where(r < rmax, ymid - np.trunc(rnew * np.sin(th)).astype(int), -1)
    ours = op(src, "circle", kind, 18, 5)
    wrong = int((np.abs(ours - outside_is_origin(src, sx, sy)).max(axis=-1) > 0).sum())
    checks += 1
    if wrong <= 4:
        print("ok   circle type %d (%d pixels read a neighbour)" % (kind, wrong))
    else:
        failures += 1
        print("FAIL circle type %d (%d pixels differ)" % (kind, wrong))

# ---- Rotate (nearest, two extra rows and columns): source = trunc(turned - 0.5).
src = rng.integers(0, 256, size=(9, 11, 3))
h, w = src.shape[:2]
ours = op(src, "rotate", 30)
a = -30 * math.acos(0) / 90
c, s = math.cos(a), math.sin(a)
pts = [(0, 0), (w, 0), (0, h), (w - 1, h)]
tx = [math.floor(px * c - py * s) for px, py in pts[1:]] + [0]
ty = [math.floor(px * s + py * c) for px, py in pts[1:]] + [0]
assert ours.shape[:2] == (max(ty) - min(ty) + 2, max(tx) - min(tx) + 2), ours.shape
yy, xx = np.mgrid[min(ty):max(ty) + 2, min(tx):max(tx) + 2].astype(np.float64)
ox = np.trunc(xx * c + yy * s - 0.5).astype(int)
oy = np.trunc(yy * c - xx * s - 0.5).astype(int)
check("rotate 30 nearest", ours, outside_is_origin(src, ox, oy), 0)

print("pximg numpy references: %d passed, %d failed" % (checks - failures, failures))
sys.exit(1 if failures else 0)
