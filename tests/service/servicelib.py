"""Helpers for the service's script tests: start brivane-service on a free loopback
port, speak to it the way the program does, and make small PNG files.

Standard library only. Every test exits 0 on success, 1 on failure and 77 when
something it needs is missing (ctest reports that as skipped, with the reason printed).
"""
import atexit
import datetime
import os
import re
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib

SKIP = 77
APP_A = "{12345678-9ABC-DEF0-1234-56789ABCDEF0}"
APP_B = "{0FEDCBA9-8765-4321-0FED-CBA987654321}"
ALPHABET = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"


def skip(reason):
    print("SKIP: " + reason, flush=True)
    sys.exit(SKIP)


def fail(message):
    print("FAIL: " + message, flush=True)
    sys.exit(1)


def check(condition, message):
    if not condition:
        fail(message)


def service_path():
    """The brivane-service binary: --service PATH or $BRIVANE_SERVICE."""
    args = sys.argv[1:]
    if "--service" in args:
        return args[args.index("--service") + 1]
    path = os.environ.get("BRIVANE_SERVICE", "")
    if not path:
        fail("give the service binary with --service PATH")
    return path


def day_code(date):
    """The two-character day code the program puts in its short links."""
    n = (date - datetime.date(2020, 1, 1)).days
    return ALPHABET[n // 62] + ALPHABET[n % 62]


def server_name(date, uid):
    """The program's server name "ddmmyy/uid" of an upload."""
    return "%02d%02d%02d/%s" % (date.day, date.month, date.year % 100, uid)


def png_bytes(width, height, rgb):
    """A plain RGB PNG of one colour."""
    row = b"\x00" + bytes(rgb) * width
    raw = row * height

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def read_png_rgb(data):
    """Decodes an 8-bit RGB or RGBA PNG (non-interlaced) into (width, height, rows of (r,g,b))."""
    check(data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG")
    pos, idat, width = 8, b"", 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            check(depth == 8 and colour in (2, 6) and interlace == 0, "unexpected PNG format %d/%d" % (depth, colour))
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, prev = [], bytearray(stride)
    for y in range(height):
        f = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = prev[i]
            c = prev[i - channels] if i >= channels else 0
            if f == 1:
                line[i] = (line[i] + a) & 0xFF
            elif f == 2:
                line[i] = (line[i] + b) & 0xFF
            elif f == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + pred) & 0xFF
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        prev = line
    return width, height, rows


_running = []


@atexit.register
def _stop_leftovers():
    """A failed check or an exception must not leave a service running."""
    for proc in _running:
        if proc.poll() is None:
            proc.kill()
            proc.wait()


class Service:
    """brivane-service on 127.0.0.1:<free port> with the given data folder. Stopped at exit at the latest."""

    def __init__(self, binary, data_dir, *extra):
        self.binary, self.data_dir, self.extra = binary, data_dir, list(extra)
        self.proc, self.port, self.log_lines = None, 0, []

    def start(self):
        args = [self.binary, "--listen", "127.0.0.1:0", "--data", self.data_dir] + self.extra
        self.proc = subprocess.Popen(args, stderr=subprocess.PIPE, stdout=subprocess.DEVNULL)
        _running.append(self.proc)
        deadline = time.time() + 10
        while time.time() < deadline:
            line = self.proc.stderr.readline().decode("utf-8", "replace")
            if not line:
                break
            self.log_lines.append(line.rstrip("\n"))
            m = re.search(r"listening on 127\.0\.0\.1:(\d+)", line)
            if m:
                self.port = int(m.group(1))
                threading.Thread(target=self._drain, daemon=True).start()
                return self
        fail("the service did not start: " + " | ".join(self.log_lines))

    def _drain(self):
        for raw in self.proc.stderr:
            self.log_lines.append(raw.decode("utf-8", "replace").rstrip("\n"))

    def stop(self, sig=signal.SIGTERM):
        if self.proc and self.proc.poll() is None:
            self.proc.send_signal(sig)
            self.proc.wait(timeout=20)
        return self.proc.returncode if self.proc else None

    def url(self, path=""):
        return "http://127.0.0.1:%d%s" % (self.port, path)


def raw_get(port, path, host="127.0.0.1", timeout=3.0):
    """The program's socket GET: returns (every byte received, seconds until the server closed or None)."""
    s = socket.create_connection(("127.0.0.1", port), timeout=timeout)
    s.sendall(("GET " + path + " HTTP/1.1\r\nUser-Agent: curl/7.33.0\r\nHost: " + host +
               "\r\nAccept: */*\r\n\r\n").encode())
    start, data, closed = time.time(), b"", None
    try:
        while True:
            chunk = s.recv(4096)
            if not chunk:
                closed = time.time() - start
                break
            data += chunk
    except socket.timeout:
        pass
    s.close()
    return data, closed


def http_get(port, path, timeout=10.0):
    """A plain GET on a fresh connection: (status, headers dict lower-case, body)."""
    import http.client
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=timeout)
    conn.request("GET", path)
    r = conn.getresponse()
    body = r.read()
    headers = {k.lower(): v for k, v in r.getheaders()}
    conn.close()
    return r.status, headers, body


def multipart_upload(port, app_id, screenshot_id, ext, upload_type, display_name, data, timeout=30.0):
    """Posts the program's upload form: (status, body)."""
    import base64
    import http.client
    boundary = "------------------------d0580b92d197991c"
    fields = [("appId", app_id), ("screenshotId", screenshot_id), ("fileExt", ext),
              ("uploadType", str(upload_type)),
              ("fileName", base64.b64encode(display_name.encode("utf-8")).decode())]
    body = b""
    for name, value in fields:
        body += ("--%s\r\nContent-Disposition: form-data; name=\"%s\"\r\n\r\n%s\r\n" % (boundary, name, value)).encode()
    body += ("--%s\r\nContent-Disposition: form-data; name=\"userfile\"; filename=\"upload%s\"\r\n"
             "Content-Type: application/octet-stream\r\n\r\n" % (boundary, ext)).encode() + data + b"\r\n"
    body += ("--%s--\r\n" % boundary).encode()
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=timeout)
    conn.request("POST", "/post_file2", body, {"Content-Type": "multipart/form-data; boundary=" + boundary})
    r = conn.getresponse()
    reply = r.read()
    conn.close()
    return r.status, reply


def temp_dir(prefix):
    return tempfile.mkdtemp(prefix=prefix)
