#!/usr/bin/env python3
"""Runs the real curl with the argument texts the program builds (upload, identifier
request, analytics event) and the program's raw GETs against brivane-service."""
import datetime
import glob
import json
import os
import shlex
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import servicelib as sl  # noqa: E402


def run_curl(argument_text, merge_stderr=True):
    """curl with the program's argument text. Uploads read standard output and error from one pipe; the
    identifier request and the analytics events read standard output only."""
    p = subprocess.run(["curl"] + shlex.split(argument_text), stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT if merge_stderr else subprocess.DEVNULL, timeout=60)
    return p.returncode, p.stdout.decode("utf-8", "replace")


def upload_text(app_id, server_name, ext, upload_type, name_b64, path, site_url):
    return (' -F "appId=%s" -F "screenshotId=%s" -F "fileExt=%s" -F "uploadType=%d" -F "fileName=%s"'
            ' -F "userfile=@%s" %s/post_file2' % (app_id, server_name, ext, upload_type, name_b64, path, site_url))


def main():
    if not shutil.which("curl"):
        sl.skip("curl is not installed")
    binary = sl.service_path()
    work = sl.temp_dir("brivane-curl-")
    try:
        # The command line: --help, an unknown option, a data folder that cannot be used.
        p = subprocess.run([binary, "--help"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=10)
        sl.check(p.returncode == 0 and b"--max-upload-size" in p.stdout, "--help: %r" % p.stdout)
        p = subprocess.run([binary, "--bogus"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=10)
        sl.check(p.returncode == 2 and b"unknown option" in p.stderr, "unknown option: %r" % p.stderr)
        blocker = os.path.join(work, "not-a-folder")
        open(blocker, "w").close()
        p = subprocess.run([binary, "--listen", "127.0.0.1:0", "--data", blocker], stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, timeout=10)
        sl.check(p.returncode == 1 and b"not-a-folder" in p.stderr, "unusable data folder: %r" % p.stderr)

        svc = sl.Service(binary, os.path.join(work, "data"), "--max-upload-size", "200000",
                         "--latest-version", "3.10.0.60").start()
        today = datetime.datetime.utcnow().date()
        site = svc.url()

        # Identifier request: -L, no --insecure for http, --max-time 60, the user agent, the URL, the status.
        code, out = run_curl('-L  --max-time 60 -A "Brivane/3.10.0.58 (%s)" "%s/api/app/v1/uids" -w"%%{http_code}"'
                             % (sl.APP_A, site), merge_stderr=False)
        sl.check(code == 0 and out.endswith("200"), "identifier request: " + out)
        reply = json.loads(out[:-3])
        sl.check(reply["status"] == "ok" and len(reply["uids"]) == 10, "identifier reply: " + out)
        uid = reply["uids"][-1]  # the pool hands out the last one first
        sl.check(all(c in sl.ALPHABET for c in uid), "identifier outside the alphabet: " + uid)

        # Upload of a screenshot, posted three times as the program retries.
        png = os.path.join(work, "Xy7Kq2LmN0pQr5Ts.png")
        with open(png, "wb") as f:
            f.write(sl.png_bytes(120, 80, (10, 120, 200)))
        name = "Screenshot 12-10-2021 143005"
        import base64
        name_b64 = base64.b64encode(name.encode("utf-8")).decode()
        sname = sl.server_name(today, uid)
        for attempt in range(3):
            p = subprocess.run(["curl"] + shlex.split(upload_text(sl.APP_A, sname, ".png", 0, name_b64, png, site)),
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
            body = p.stdout.decode()
            sl.check('{"status":0}' in body and "413" not in body, "upload %d: %s" % (attempt, body))
        stored = glob.glob(os.path.join(work, "data", "files", "*", "*"))
        sl.check(len(stored) == 1, "three posts must store one file, found %d" % len(stored))
        link = "/s" + sl.day_code(today) + uid
        status, headers, data = sl.http_get(svc.port, link + ".png")
        sl.check(status == 200 and data == open(png, "rb").read(), "direct link")
        sl.check(headers.get("content-type") == "image/png", "direct link type " + str(headers))
        status, _, page = sl.http_get(svc.port, link + "?a")
        sl.check(status == 200 and name.encode() in page, "short-link page")

        # A file larger than the limit: the program looks for "413" anywhere in curl's output.
        big = os.path.join(work, "big.zip")
        with open(big, "wb") as f:
            f.write(os.urandom(300000))
        code, out = run_curl(upload_text(sl.APP_A, sl.server_name(today, "BigFile01"), ".zip", 1,
                                         base64.b64encode(b"big").decode(), big, site) + ' -w"%{http_code}"')
        sl.check("413" in out and out.endswith("413"), "oversized upload: " + out[-300:])
        sl.check(len(glob.glob(os.path.join(work, "data", "files", "*", "*"))) == 1, "the oversized file was stored")

        # An analytics event, unencoded, as the program sends it (plain http here).
        code, out = run_curl('-s -S -A BrivaneWin/3.10.0.58 --insecure -d "v=1&t=event&tid=UA-48151623-42&cid=%s'
                             '&ec=Screenshot.Region&ea=Launch on Hotkey&el=PNG&an=BrivaneWin&av=3.10.0.58" -X POST '
                             '%s/collect -w"%%{http_code}"' % (sl.APP_A.strip("{}"), site), merge_stderr=False)
        sl.check(out.endswith("200"), "analytics event: " + out)
        status, _, events = sl.http_get(svc.port, "/collect/events?limit=1")
        event = json.loads(events)["events"][0]
        sl.check(event["ea"] == "Launch on Hotkey" and event["el"] == "PNG", "stored event: " + str(event))

        # The raw GETs: a short reply and the connection closed at once.
        for path in ("/sync.php?appid=%s&ts=1634049005" % sl.APP_A, "/actver.php?1634049005",
                     "/history_add_to_cache.php?appid=%s" % sl.APP_A):
            data, closed = sl.raw_get(svc.port, path)
            sl.check(data.startswith(b"HTTP/1.1 200 OK\r\n") and len(data) < 4095, path + ": " + repr(data))
            sl.check(closed is not None and closed < 0.5, path + ": the server kept the connection open")
        data, _ = sl.raw_get(svc.port, "/actver.php?1")
        sl.check(data.split(b'"')[1] == b"3.10.0.60", "latest version: " + repr(data))

        rc = svc.stop()
        sl.check(rc == 0, "the service ended with %s" % rc)
        print("curl contract: ok")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
