"""Upload throughput benchmark, run by hand (not a test: CI never runs it).

    scripts/with-wine.sh build/bench-prefix --target x86_64 -- python3 tests/e2e/bench_upload.py

One brivane-service on 127.0.0.1 and one 20 MB random file. Three rounds each of:
- curl.exe run directly under Wine with the program's form fields (the process's wall time);
- the program: `upload "<path>"` handed over to the running instance, timed from the
  hand-over's start to the log line "Upload attempt 1 ended", and from "Upload attempt 1
  started" to that line (the upload alone, without the second instance's start).
The program's fixed pauses (500 ms after an attempt, 1 s before its window closes) come
after that line and are not counted. A native curl run gives the machine's own figure.
Prints MB/s for each and the ratio program/curl.

Goal: the program's upload, from the attempt's start, takes at most 1.05x curl.exe alone,
with the analytics events of the upload sent as usual (to a collector on 127.0.0.1); the
script prints PASS or MISS beside that ratio.
"""

import base64
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import BUILD, SERVICE, Prefix, Program, free_port, start_service, stop_service  # noqa: E402
from shell_support import wait_main_window, write_settings  # noqa: E402

APP_ID = "{5B1E2A3C-4D5E-4F60-8172-93A4B5C6D7E8}"
SIZE = 20 * 1024 * 1024
ROUNDS = 3
GOAL = 1.05   # program from the attempt's start / curl.exe alone


def form(path, uid):
    """The upload's form, as the program sends it (text fields literally)."""
    name = base64.b64encode(b"bench.bin").decode()
    return ["--form-string", "appId=" + APP_ID, "--form-string", "screenshotId=" + uid,
            "--form-string", "fileExt=.bin", "--form-string", "uploadType=1", "--form-string", "fileName=" + name,
            "-F", 'userfile=@"%s"' % path.replace("\\", "\\\\").replace('"', '\\"')]


def mbps(seconds):
    return SIZE / (1024 * 1024) / seconds


def timed(args, **kw):
    start = time.monotonic()
    result = subprocess.run(args, stdin=subprocess.DEVNULL, capture_output=True, timeout=300, **kw)
    elapsed = time.monotonic() - start
    if b'"status":0' not in result.stdout.replace(b" ", b""):
        raise SystemExit("upload failed: %r %r" % (result.stdout[-200:], result.stderr[-200:]))
    return elapsed


def main():
    if "WINEPREFIX" not in os.environ:
        raise SystemExit("run inside scripts/with-wine.sh (see the top of this file)")
    if not os.path.exists(SERVICE):
        raise SystemExit("brivane-service is not built: " + SERVICE)
    prefix = Prefix()
    prefix.reset()
    data = tempfile.mkdtemp(prefix="brivane-bench-upload-")
    port = free_port()
    base = "http://127.0.0.1:%d" % port
    service = program = None
    try:
        service = start_service(port, os.path.join(data, "d"), "--public-url", base,
                                "--max-upload-size", str(2 * SIZE))
        path = os.path.join(prefix.root, "drive_c", "bench.bin")
        with open(path, "wb") as f:
            f.write(os.urandom(SIZE))
        curl = os.path.join(BUILD, "app", "curl.exe")

        wine_times = [timed(["wine", curl] + form("C:\\bench.bin", "121021/bench%d" % i) + [base + "/post_file2"])
                      for i in range(ROUNDS)]
        native_times = []
        if shutil.which("curl"):
            native_times = [timed(["curl"] + form(path, "121021/native%d" % i) + [base + "/post_file2"])
                            for i in range(ROUNDS)]

        write_settings(prefix, {"app_id": APP_ID, "server_url": base, "site_url": base, "link_host": base,
                                "analytics_url": base, "max_upload_file_size": 2 * SIZE, "play_sound": False})
        program = Program(prefix)
        program.start("-s")
        program.wait_log("Going to start Main Window\n", timeout=60)
        wait_main_window()
        handed, uploads = [], []
        for i in range(ROUNDS):
            ended_before = program.log_text().count("Upload attempt 1 ended: 0\n")
            log_before = len(program.log_text())
            start = time.monotonic()
            second = Program(prefix, name="Second%d" % i).start("upload", "C:\\bench.bin")
            started = None
            while True:
                text = program.log_text()
                if started is None and "Upload attempt 1 started" in text[log_before:]:
                    started = time.monotonic()
                if text.count("Upload attempt 1 ended: 0\n") > ended_before:
                    break
                if "Upload attempt 1 ended: " in text[log_before:] and "ended: 0\n" not in text[log_before:]:
                    raise SystemExit("the program's upload failed")
                if time.monotonic() - start > 300:
                    raise SystemExit("the program's upload did not end")
                time.sleep(0.01)
            end = time.monotonic()
            handed.append(end - start)
            uploads.append(end - (started or start))
            second.wait_exit(60)
            program.wait_log("OnUploadFinished: ok", timeout=30)
            time.sleep(2)   # the window closes one second after the end

        def line(label, times):
            m = statistics.median(times)
            print("%-40s %6.2f s  %7.1f MB/s   (%s)" % (label, m, mbps(m), ", ".join("%.2f" % t for t in times)))
            return m

        print("20 MB upload to brivane-service on 127.0.0.1, median of %d" % ROUNDS)
        c = line("curl.exe under Wine", wine_times)
        p = line("program, from the hand-over", handed)
        u = line("program, from the attempt's start", uploads)
        if native_times:
            line("native curl (context)", native_times)
        print("ratio program/curl: %.2f from the hand-over, %.2f from the attempt's start   goal <= %.2f: %s"
              % (p / c, u / c, GOAL, "PASS" if u / c <= GOAL else "MISS"))
        print("not counted: 500 ms after each attempt, 1 s before the window closes")
    finally:
        if program:
            program.kill()
        if service:
            stop_service(service)
        shutil.rmtree(data, ignore_errors=True)


if __name__ == "__main__":
    main()
