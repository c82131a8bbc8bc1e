#!/usr/bin/env python3
"""Data survives a restart and a kill -9 during uploads: every acknowledged upload is
served with its bytes afterwards, an interrupted one is not served at all (never half a
file), the temporary folder is emptied and the database passes its integrity check."""
import datetime
import glob
import os
import shutil
import signal
import socket
import sqlite3
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import servicelib as sl  # noqa: E402


def payload(i, size):
    block = bytes((i * 7 + k) % 251 for k in range(251))
    return (block * (size // 251 + 1))[:size]


def check_served(svc, acknowledged, today, what):
    for uid, data in acknowledged.items():
        status, headers, body = sl.http_get(svc.port, "/f" + sl.day_code(today) + uid + ".bin")
        sl.check(status == 200 and body == data, "%s: upload %s lost or changed (status %d, %d bytes)"
                 % (what, uid, status, len(body)))


def main():
    binary = sl.service_path()
    work = sl.temp_dir("brivane-durability-")
    data_dir = os.path.join(work, "data")
    today = datetime.datetime.utcnow().date()
    try:
        # 1. Uploads, a clean stop, a restart.
        svc = sl.Service(binary, data_dir).start()
        acknowledged = {}
        for i in range(10):
            uid = "Calm%04d" % i
            data = payload(i, 1000 + i * 997)
            status, reply = sl.multipart_upload(svc.port, sl.APP_A, sl.server_name(today, uid), ".bin", 1, uid, data)
            sl.check(status == 200 and reply == b'{"status":0}', "upload %s: %r" % (uid, reply))
            acknowledged[uid] = data
        sl.check(svc.stop() == 0, "the service did not stop cleanly")
        svc = sl.Service(binary, data_dir).start()
        check_served(svc, acknowledged, today, "after a restart")

        # 2. kill -9 while uploads run: a large one stalled in its body, and a stream of small ones.
        stop = threading.Event()
        lock = threading.Lock()
        inflight = []

        def small_uploads(worker):
            n = 0
            while not stop.is_set():
                uid = "Kill%d%04d" % (worker, n)
                data = payload(n + worker, 20000 + n)
                with lock:
                    inflight.append(uid)
                try:
                    status, reply = sl.multipart_upload(svc.port, sl.APP_A, sl.server_name(today, uid), ".bin", 1,
                                                        uid, data, timeout=5)
                    if status == 200 and reply == b'{"status":0}':
                        with lock:
                            acknowledged[uid] = data
                except OSError:
                    pass
                n += 1

        # The large upload sends half of its body and waits.
        boundary = "------------------------d0580b92d197991c"
        large = payload(99, 8 * 1024 * 1024)
        head_fields = ""
        for name, value in (("appId", sl.APP_A), ("screenshotId", sl.server_name(today, "HalfDone1")),
                            ("fileExt", ".bin"), ("uploadType", "1"), ("fileName", "aGFsZg==")):
            head_fields += "--%s\r\nContent-Disposition: form-data; name=\"%s\"\r\n\r\n%s\r\n" % (boundary, name, value)
        body = (head_fields + "--%s\r\nContent-Disposition: form-data; name=\"userfile\"; filename=\"h.bin\"\r\n"
                "Content-Type: application/octet-stream\r\n\r\n" % boundary).encode() + large + \
               ("\r\n--%s--\r\n" % boundary).encode()
        conn = socket.create_connection(("127.0.0.1", svc.port))
        conn.sendall(("POST /post_file2 HTTP/1.1\r\nHost: h\r\nContent-Length: %d\r\nContent-Type: multipart/form-data;"
                      " boundary=%s\r\n\r\n" % (len(body), boundary)).encode())
        conn.sendall(body[:len(body) // 2])

        workers = [threading.Thread(target=small_uploads, args=(w,)) for w in range(4)]
        for t in workers:
            t.start()
        time.sleep(1.5)
        svc.proc.send_signal(signal.SIGKILL)
        svc.proc.wait()
        stop.set()
        for t in workers:
            t.join()
        conn.close()
        partial = glob.glob(os.path.join(data_dir, "tmp", "*.part"))
        sl.check(partial, "the interrupted uploads left no temporary file (was the kill too late?)")
        sl.check(len(acknowledged) > 12, "too few uploads were acknowledged before the kill: %d" % len(acknowledged))

        time.sleep(1.1)  # files of the killed run are then older than the next start
        svc = sl.Service(binary, data_dir).start()
        check_served(svc, acknowledged, today, "after kill -9")
        status, _, _ = sl.http_get(svc.port, "/f" + sl.day_code(today) + "HalfDone1.bin")
        sl.check(status == 404, "the interrupted large upload is served (status %d)" % status)
        for uid in inflight:
            if uid in acknowledged:
                continue
            status, _, body = sl.http_get(svc.port, "/f" + sl.day_code(today) + uid + ".bin")
            n = int(uid[5:])
            sl.check(status == 404 or body == payload(n + int(uid[4]), 20000 + n),
                     "unacknowledged upload %s served with other bytes" % uid)
        sl.check(not glob.glob(os.path.join(data_dir, "tmp", "*")), "temporary files survived the restart")
        db = sqlite3.connect("file:%s?mode=ro" % os.path.join(data_dir, "brivane.db"), uri=True)
        sl.check(db.execute("PRAGMA integrity_check").fetchone()[0] == "ok", "database integrity check failed")
        sl.check(db.execute("PRAGMA journal_mode").fetchone()[0] == "wal", "the database is not in WAL mode")
        rows = db.execute("SELECT COUNT(*) FROM uploads").fetchone()[0]
        db.close()
        sl.check(rows >= len(acknowledged), "rows %d < acknowledged %d" % (rows, len(acknowledged)))
        # A file put in place but not yet recorded when the kill came is removed after the start.
        deadline = time.time() + 5
        while len(glob.glob(os.path.join(data_dir, "files", "*", "*"))) != rows and time.time() < deadline:
            time.sleep(0.05)
        files = len(glob.glob(os.path.join(data_dir, "files", "*", "*")))
        sl.check(files == rows, "%d stored files for %d rows" % (files, rows))
        sl.check(svc.stop() == 0, "the service did not stop cleanly")
        print("durability: ok (%d acknowledged uploads kept, %d rows)" % (len(acknowledged), rows))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
