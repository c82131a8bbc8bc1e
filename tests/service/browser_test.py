#!/usr/bin/env python3
"""Opens the short-link page of an uploaded screenshot in headless Chromium, takes a
screenshot of it and checks that the picture is on it (desktop and phone widths), and
that a hostile display name is shown as text. Skipped when Chromium is not installed.

  browser_test.py --service PATH [--out DIR]   (screenshots are kept in DIR, default .)
"""
import datetime
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import servicelib as sl  # noqa: E402

RED = (214, 40, 52)
FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
         "--disable-component-update", "--disable-sync", "--no-first-run", "--hide-scrollbars",
         "--force-device-scale-factor=1"]


def chromium():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        path = shutil.which(name)
        if path:
            return path
    return None


def run_browser(browser, args, work):
    profile = tempfile.mkdtemp(prefix="profile-", dir=work)  # a fresh profile every run
    p = subprocess.run([browser] + FLAGS + ["--user-data-dir=" + profile] + args, stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, timeout=120)
    return p.returncode, p.stdout, p.stderr.decode("utf-8", "replace")


def red_box(path):
    """Bounding box and count of the pixels close to RED."""
    width, height, rows = sl.read_png_rgb(open(path, "rb").read())
    xs, ys, count = [], [], 0
    for y, row in enumerate(rows):
        for x, (r, g, b) in enumerate(row):
            if abs(r - RED[0]) <= 8 and abs(g - RED[1]) <= 8 and abs(b - RED[2]) <= 8:
                count += 1
                xs.append(x)
                ys.append(y)
    if not count:
        return None, 0, (width, height)
    return (min(xs), min(ys), max(xs), max(ys)), count, (width, height)


def main():
    browser = chromium()
    if not browser:
        sl.skip("Chromium is not installed (apt-get install chromium)")
    binary = sl.service_path()
    out_dir = sys.argv[sys.argv.index("--out") + 1] if "--out" in sys.argv else os.getcwd()
    work = sl.temp_dir("brivane-browser-")
    try:
        svc = sl.Service(binary, os.path.join(work, "data")).start()
        today = datetime.datetime.utcnow().date()
        uid = "Brows3rT3st"
        name = 'Screenshot <script>document.title="owned"</script> & "quotes"'
        status, reply = sl.multipart_upload(svc.port, sl.APP_A, sl.server_name(today, uid), ".png", 0, name,
                                            sl.png_bytes(400, 300, RED))
        sl.check(status == 200 and reply == b'{"status":0}', "upload: %r" % reply)
        url = svc.url("/s" + sl.day_code(today) + uid + "?a")

        for label, size, image_width in (("desktop", "1024,768", 400), ("phone", "390,844", None)):
            shot = os.path.join(out_dir, "service_browser_%s.png" % label)
            if os.path.exists(shot):
                os.remove(shot)
            code, _, err = run_browser(browser, ["--window-size=" + size, "--screenshot=" + shot, url], work)
            sl.check(code == 0 and os.path.exists(shot), "%s screenshot failed (%d): %s" % (label, code, err[-800:]))
            box, count, (w, h) = red_box(shot)
            sl.check(box is not None, "%s: the uploaded picture is not on the page (%s)" % (label, shot))
            bw, bh = box[2] - box[0] + 1, box[3] - box[1] + 1
            if image_width:
                sl.check(bw == 400 and bh == 300, "%s: picture shown at %dx%d, not 400x300" % (label, bw, bh))
            else:
                sl.check(bw < w and bw >= w * 0.8, "%s: picture %d px wide in a %d px window" % (label, bw, w))
                sl.check(abs(bw * 3 - bh * 4) <= 8, "%s: picture distorted to %dx%d" % (label, bw, bh))
            sl.check(count >= bw * bh * 0.98, "%s: picture incomplete" % label)
            print("%s: picture at %s in a %dx%d screenshot: %s" % (label, box, w, h, shot))

        code, dom, err = run_browser(browser, ["--dump-dom", url], work)
        dom = dom.decode("utf-8", "replace")
        sl.check(code == 0 and "<img" in dom, "dump-dom failed: " + err[-400:])
        sl.check("<title>owned</title>" not in dom and "&lt;script&gt;" in dom,
                 "the display name was not shown as text: " + dom[:600])
        sl.check(svc.stop() == 0, "the service did not stop cleanly")
        print("browser: ok")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
