"""Uploads against the project's own web service (brivane-service on 127.0.0.1): a
full-screen shot with storage "Server", a file given on the command line, the identifier
pool, sync, and a service that is down."""

import glob
import hashlib
import http.client
import http.server
import json
import os
import shutil
import socket
import sqlite3
import tempfile
import threading
import time
import unittest
import urllib.error
import urllib.request

from harness import BUILD, SERVICE, ProgramTest, free_port, start_service, stop_service, wait_until, windows, wine
from shell_support import Collector, post_messages, read_settings, wait_main_window, write_settings

WM_APP_FULL_SCREENSHOT = 0x404
WM_APP_TRAY_NOTIFY = 0x800A
WM_MOUSEMOVE = 0x0200
APP_ID = "{5B1E2A3C-4D5E-4F60-8172-93A4B5C6D7E8}"
MAX_UPLOAD = 100000


def clipboard_text():
    result = wine([os.path.join(BUILD, "tests", "wine", "cliptext.exe")], timeout=30)
    return result.stdout.decode("utf-8") if result.returncode == 0 else None


def fetch(url):
    try:
        with urllib.request.urlopen(url, timeout=10) as r:
            return r.status, r.read()
    except urllib.error.HTTPError as e:
        return e.code, e.read()


def sha256(data):
    return hashlib.sha256(data).hexdigest()


class UploadScenario(ProgramTest):
    """A clean program state, brivane-service on a port of its own, and the program's
    settings pointing at it."""

    def setUp(self):
        super().setUp()
        os.environ.setdefault("LANG", "C.UTF-8")
        # The screenshots folder that the scenarios give the program starts empty.
        shutil.rmtree(os.path.join(self.prefix.root, "drive_c", "shots"), ignore_errors=True)
        self.data = tempfile.mkdtemp(prefix="brivane-e2e-upload-")
        self.port = free_port()
        self.base = "http://127.0.0.1:%d" % self.port
        self.service_log = os.path.join(self.data, "service.log")
        self.service = None

    def tearDown(self):
        super().tearDown()
        self.stop_service()
        shutil.rmtree(self.data, ignore_errors=True)

    def start_service(self, max_upload=MAX_UPLOAD):
        with open(self.service_log, "ab") as log:
            self.service = start_service(self.port, os.path.join(self.data, "d"), "--public-url", self.base,
                                         "--max-upload-size", str(max_upload), log=log)

    def stop_service(self):
        if self.service:
            stop_service(self.service)
            self.service = None

    def requests(self):
        with open(self.service_log, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def events(self):
        status, body = fetch(self.base + "/collect/events?limit=1000")
        return json.loads(body)["events"] if status == 200 else []

    def wait_event(self, category, action, label):
        return wait_until(lambda: [e for e in self.events() if (e.get("ec"), e.get("ea"), e.get("el", "")) ==
                                   (category, action, label)], 60, interval=0.5,
                          what="event %s/%s/%s" % (category, action, label))

    def start(self, *args, **settings):
        values = {"app_id": APP_ID, "server_url": self.base, "site_url": self.base, "link_host": self.base,
                  "analytics_url": self.base, "storage_type": 2, "capture_cursor": False, "play_sound": False,
                  "screenshot_file_type": 0, "open_screenshot_in_browser": False}
        values.update(settings)
        write_settings(self.prefix, values)
        program = self.install()
        program.start(*(args or ("-s",)))
        program.wait_log("Going to start Main Window\n", timeout=60)
        wait_main_window()
        return program

    def stored(self, link):
        """The service's record of an upload: (display name, extension)."""
        uid = link.rsplit("/", 1)[1][3:]
        db = sqlite3.connect("file:%s?mode=ro" % os.path.join(self.data, "d", "brivane.db"), uri=True)
        try:
            return db.execute("SELECT display_name, ext FROM uploads WHERE uid = ?", (uid,)).fetchone()
        finally:
            db.close()

    def saved_shots(self):
        return glob.glob(os.path.join(self.prefix.common, "tmp", "Screenshot *.png"))


@unittest.skipUnless(os.path.exists(SERVICE), "brivane-service is not built (native build missing)")
class UploadTest(UploadScenario):

    def test_full_screen_shot_goes_to_the_service_with_its_link_on_the_clipboard(self):
        self.start_service()
        program = self.start()
        # Sync about 2 s after the start: the service's size limit lands in the settings.
        program.wait_log("max_upload_file_size %d" % MAX_UPLOAD, timeout=30)
        self.assertIn("GET /sync.php?appid=%7B" if "%7B" in self.requests() else "GET /sync.php?appid={",
                      self.requests())
        wait_until(lambda: read_settings(self.prefix).get("max_upload_file_size") == MAX_UPLOAD, 30,
                   what="the synced size in settings.json")
        # Two tray notifications within a minute: one history ping.
        self.assertTrue(post_messages((WM_APP_TRAY_NOTIFY, 0, WM_MOUSEMOVE), (WM_APP_TRAY_NOTIFY, 0, WM_MOUSEMOVE)))
        wait_until(lambda: "GET /history_add_to_cache.php?appid=" in self.requests(), 20, what="the history ping")
        time.sleep(1)   # nothing happens: no second ping
        self.assertEqual(self.requests().count("GET /history_add_to_cache.php?appid="), 1)

        self.assertTrue(post_messages((WM_APP_FULL_SCREENSHOT, 0, 0)))
        program.wait_log("Screenshot link in clipboard\n", timeout=30)
        link = wait_until(clipboard_text, 10, what="the link on the clipboard")
        self.assertRegex(link, r"^%s/s[0-9A-Za-z]{2}[0-9A-Za-z]{8}$" % self.base)   # a local id: the pool was empty
        program.wait_log("CtavimorerfDlg::OnUploadFinished: ok", timeout=60)

        shots = self.saved_shots()
        self.assertEqual(len(shots), 1, shots)
        with open(shots[0], "rb") as f:
            saved = f.read()
        copies = [p for p in glob.glob(os.path.join(self.prefix.temp, "*.png"))
                  if len(os.path.basename(p)) == 16 + 4]
        self.assertEqual(len(copies), 1, os.listdir(self.prefix.temp))
        status, served = fetch(link + ".png")
        self.assertEqual(status, 200)
        self.assertEqual(served, saved)
        status, page = fetch(link + "?a")
        self.assertEqual(status, 200)
        self.assertIn(b"<h1>Screenshot ", page)   # the display name: a screenshot name of the upload's time
        self.wait_event("Screenshot", "Finished", "")

        # The refill: one identifier request with our agent, then the next link uses
        # the last identifier served.
        self.wait_event("Api", "uids", "Ok-3")
        uids = wait_until(lambda: read_settings(self.prefix).get("file_uids"), 30, what="file_uids")
        self.assertEqual(self.requests().count("GET /api/app/v1/uids"), 1)
        self.assertTrue(post_messages((WM_APP_FULL_SCREENSHOT, 0, 0)))
        wait_until(lambda: len(program.log_text().split("OnUploadFinished: ok")) == 3, 60, what="second upload")
        second = clipboard_text()
        self.assertTrue(second.endswith(uids[-1]), (second, uids))

    def test_command_line_upload_of_a_hostile_name_and_a_file_too_big(self):
        self.start_service()
        folder = os.path.join(self.prefix.root, "drive_c", "up load")
        os.makedirs(folder, exist_ok=True)
        name = "Report, final; it's \u201cdone\u201d \u00e9t\u00e9 \U0001F600"
        content = os.urandom(MAX_UPLOAD)   # exactly the limit: sent
        with open(os.path.join(folder, name + ".txt"), "wb") as f:
            f.write(content)
        with open(os.path.join(folder, "big.bin"), "wb") as f:
            f.write(b"x" * (MAX_UPLOAD + 1))
        program = self.start("upload", "C:\\up load\\" + name + ".txt", max_upload_file_size=MAX_UPLOAD)
        program.wait_log("CtavimorerfDlg::OnUploadFinished: ok", timeout=60)
        link = clipboard_text()
        self.assertRegex(link, r"^%s/f[0-9A-Za-z]{2}[0-9A-Za-z]{8}$" % self.base)
        status, served = fetch(link + "?raw")
        self.assertEqual(status, 200)
        self.assertEqual(sha256(served), sha256(content))
        status, page = fetch(link + "?a")
        self.assertIn(name.encode("utf-8").replace(b"'", b"&#39;")[:6], page)
        display_name, ext = self.stored(link)
        self.assertEqual(display_name, name)
        self.assertEqual(ext.lstrip("."), "txt")

        # Handed over to the running instance: one byte over the limit is refused. The
        # progress window stays up for 1 s after the end, and a file handed over while it
        # is up is refused as "still running": let it close first.
        wait_until(lambda: not progress_windows(), 20, interval=0.2, what="the progress window to close")
        posts = self.requests().count("POST /post_file2")
        second = self.install(name="Second").start("upload", "C:\\up load\\big.bin")
        second.wait_exit(60)
        program.wait_log("[Error] [Sorry, but file is too big to upload.]", timeout=30)
        time.sleep(1)   # nothing happens: no upload
        self.assertEqual(self.requests().count("POST /post_file2"), posts)

        # A hostile name handed over arrives as it is too.
        name = "Smith, John; l\u2019\u00e9t\u00e9 \U0001F600"
        content = os.urandom(1000)
        with open(os.path.join(folder, name + ".bin"), "wb") as f:
            f.write(content)
        third = self.install(name="Third").start("upload", "C:\\up load\\" + name + ".bin")
        third.wait_exit(60)
        wait_until(lambda: program.log_text().count("OnUploadFinished: ok") == 2, 60, what="the handed-over upload")
        link = clipboard_text()
        self.assertRegex(link, r"^%s/f[0-9A-Za-z]{2}[0-9A-Za-z]{8,10}$" % self.base)
        status, served = fetch(link + "?raw")
        self.assertEqual((status, sha256(served)), (200, sha256(content)))
        display_name, ext = self.stored(link)
        self.assertEqual(display_name, name)
        self.assertEqual(ext.lstrip("."), "bin")

    def test_service_down_gives_a_clear_error_and_keeps_the_files(self):
        program = self.start()   # nothing listens on the service's port
        self.assertTrue(post_messages((WM_APP_FULL_SCREENSHOT, 0, 0)))
        program.wait_log("Screenshot link in clipboard\n", timeout=30)
        link = clipboard_text()
        program.wait_log("CtavimorerfDlg::OnUploadFinished: failed", timeout=60)
        program.wait_log("ShowBalloon: shown [Error] [Oops, an error occurred while loading the screenshot. "
                         "Screenshot is saved locally. Code: 0x060000]", timeout=10)
        self.assertNotIn("GetUid: ok", program.log_text())
        self.assertEqual(len(self.saved_shots()), 1)
        self.assertEqual(len(glob.glob(os.path.join(self.prefix.temp, "*.png"))), 1)
        self.assertEqual(clipboard_text(), link)
        program.wait_log("ScreenshotUidManager::GetUid: failed", timeout=60)

    def test_direct_links_are_opened_as_they_are(self):
        # With the direct-link option a file's link still has no extension, a
        # screenshot's ends in ".png"; the browser gets each without "?a".
        self.start_service()
        self.use_browser_stand_in()
        folder = os.path.join(self.prefix.root, "drive_c", "direct")
        os.makedirs(folder, exist_ok=True)
        content = os.urandom(5000)
        with open(os.path.join(folder, "notes.txt"), "wb") as f:
            f.write(content)
        program = self.start("upload", "C:\\direct\\notes.txt", use_screenshot_direct_file_link=True,
                             open_screenshot_in_browser=True, max_upload_file_size=MAX_UPLOAD)
        program.wait_log("CtavimorerfDlg::OnUploadFinished: ok", timeout=60)
        file_link = clipboard_text()
        self.assertRegex(file_link, r"^%s/f[0-9A-Za-z]{2}[0-9A-Za-z]{8}$" % self.base)
        wait_until(lambda: self.opened_pages() == [file_link], 20, what="the file's link in the browser stand-in")
        status, served = fetch(file_link + "?raw")
        self.assertEqual((status, sha256(served)), (200, sha256(content)))
        # A shot taken while the window is still up would be kept locally only.
        wait_until(lambda: not progress_windows(), 20, interval=0.1, what="the progress window to close")

        self.assertTrue(post_messages((WM_APP_FULL_SCREENSHOT, 0, 0)))
        wait_until(lambda: program.log_text().count("OnUploadFinished: ok") == 2, 60, what="the shot's upload")
        shot_link = clipboard_text()
        self.assertRegex(shot_link, r"^%s/s[0-9A-Za-z]{2}[0-9A-Za-z]{1,32}\.png$" % self.base)
        shots = self.saved_shots()
        self.assertEqual(len(shots), 1, shots)
        with open(shots[0], "rb") as f:
            saved = f.read()
        self.assertEqual(fetch(shot_link), (200, saved))
        wait_until(lambda: self.opened_pages() == [file_link, shot_link], 20,
                   what="the shot's link in the browser stand-in")
        self.wait_event("Screenshot", "Finished", "")

    def test_service_down_with_server_and_local_storage(self):
        # Storage 6 with the service down: the shot stays in the screenshots folder,
        # the error says so, nothing claims success; once the service is back the next
        # shot goes up and the identifier pool is asked again.
        collector = Collector()
        self.addCleanup(collector.server.server_close)
        self.addCleanup(collector.server.shutdown)
        self.use_browser_stand_in()
        program = self.start(storage_type=6, screenshots_path="C:\\shots", open_screenshot_in_browser=True,
                             analytics_url=collector.url)
        shots_folder = os.path.join(self.prefix.root, "drive_c", "shots")

        def shots():
            return sorted(glob.glob(os.path.join(shots_folder, "Screenshot *.png")))

        def temp_copies():
            return [p for p in glob.glob(os.path.join(self.prefix.temp, "*.png")) if len(os.path.basename(p)) == 20]

        self.assertTrue(post_messages((WM_APP_FULL_SCREENSHOT, 0, 0)))
        program.wait_log("Screenshot link in clipboard\n", timeout=30)
        link = wait_until(clipboard_text, 10, what="the link on the clipboard")
        self.assertRegex(link, r"^%s/s[0-9A-Za-z]{2}[0-9A-Za-z]{8}$" % self.base)
        program.wait_log("CtavimorerfDlg::OnUploadFinished: failed", timeout=60)
        program.wait_log("ShowBalloon: shown [Error] [%s Code: 0x060000]" % TEXT_133, timeout=10)
        program.wait_log("ScreenshotUidManager::GetUid: failed", timeout=60)
        wait_until(lambda: collector.find("Api", "uids", "Failed-3"), 30, what="the failed refill's event")
        self.assertEqual(program.log_text().count("Upload attempt "), 6, "three attempts, each started and ended")
        self.assertEqual(len(shots()), 1, os.listdir(self.prefix.root + "/drive_c"))
        self.assertEqual(self.saved_shots(), [], "storage 6 writes into the screenshots folder only")
        self.assertEqual(len(temp_copies()), 1, os.listdir(self.prefix.temp))
        self.assertEqual(clipboard_text(), link)
        self.assertIsNone(collector.find("Screenshot", "Finished"))
        self.assertEqual(self.opened_pages(), [])
        self.assertIsNone(program.proc.poll())

        self.start_service()
        self.assertTrue(post_messages((WM_APP_FULL_SCREENSHOT, 0, 0)))
        wait_until(lambda: program.log_text().count("Screenshot link in clipboard\n") == 2, 30, what="shot 2's link")
        second = clipboard_text()
        self.assertNotEqual(second, link)
        program.wait_log("CtavimorerfDlg::OnUploadFinished: ok", timeout=60)
        files = shots()
        self.assertEqual(len(files), 2, files)
        with open(max(files, key=os.path.getmtime), "rb") as f:
            saved = f.read()
        self.assertEqual(fetch(second + ".png"), (200, saved))
        wait_until(lambda: collector.find("Screenshot", "Finished", ""), 30, what="Finished")
        wait_until(lambda: self.opened_pages() == [second + "?a"], 20, what="the browser stand-in")
        wait_until(lambda: "GET /api/app/v1/uids" in self.requests(), 30, what="the pool asked again")
        self.assertEqual(len(temp_copies()), 2)


WM_COMMAND = 0x0111
ID_TRAY_SILENT_MODE = 32781
PROGRESS_TEXT = "Link is in your clipboard"
TEXT_133 = "Oops, an error occurred while loading the screenshot. Screenshot is saved locally."
TEXT_179 = "Sorry, but file is too big to upload."
TEXT_400 = "An upload is still running: this screenshot was not uploaded"
TEXT_401 = "An upload is still running: please send this file when it has finished"


class Relay:
    """The site address as the program sees it, on 127.0.0.1: passes every request on to
    brivane-service, except uploads (POST /post_file2), which it treats as `mode` says:
      "relay"    passes them on;
      "slow"     reads the body at about 1 MB/s, waits 1.5 s, then passes it on;
      "hold"     reads the body, waits 4 s, then passes it on;
      "413"      passes them on to a second service with a tiny size limit;
      "garbage"  answers 200 with a page that is no reply of the service;
      "status7"  answers {"status": 7};
      "stall"    reads the request and never answers;
      "stall-once" the first upload as "stall", until the client hangs up (the time it
                 held on is kept in `hung_up_after`); every later one is dropped
                 without an answer, as by a service that fell over.
    A small receive buffer makes curl's progress follow what is really read."""

    def __init__(self, service_port, small_service_port):
        relay = self
        self.mode = "relay"
        self.stalled = threading.Event()
        self.release = threading.Event()
        self.hung_up_after = None
        self.posts = []

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def do_GET(self):
                self.forward(service_port, b"")

            def do_POST(self):
                length = int(self.headers.get("Content-Length", "0"))
                mode = relay.mode
                relay.posts.append((self.path, mode))
                if self.path != "/post_file2":
                    self.forward(service_port, self.rfile.read(length))
                    return
                if mode == "stall":
                    self.rfile.read(length)
                    relay.stalled.set()
                    relay.release.wait(120)
                    self.close_connection = True
                    return
                if mode == "stall-once":
                    self.rfile.read(length)
                    if not relay.stalled.is_set():
                        relay.stalled.set()
                        relay.hung_up_after = self.wait_for_hang_up()
                    self.close_connection = True
                    return
                if mode == "slow":
                    body = b""
                    while len(body) < length:
                        body += self.rfile.read(min(32768, length - len(body)))
                        time.sleep(0.03)   # a slow service: the relay's pace, no wait
                    time.sleep(1.5)   # a slow service: the answer comes late
                elif mode == "hold":
                    body = self.rfile.read(length)
                    time.sleep(4)   # a service that holds the answer back
                else:
                    body = self.rfile.read(length)
                if mode == "garbage":
                    self.answer(200, b"<html><body>Service temporarily overloaded</body></html>", "text/html")
                elif mode == "status7":
                    self.answer(200, b'{"status": 7}', "application/json")
                else:
                    self.forward(small_service_port if mode == "413" else service_port, body)

            def wait_for_hang_up(self):
                """Sends nothing and waits (at most 120 s) until the client closes the
                connection; returns how long that took, or None."""
                started = time.monotonic()
                self.connection.settimeout(0.2)
                while not relay.release.is_set() and time.monotonic() - started < 120:
                    try:
                        if not self.connection.recv(4096):
                            return time.monotonic() - started
                    except socket.timeout:
                        continue
                    except OSError:
                        return time.monotonic() - started
                return None

            def forward(self, port, body):
                headers = {k: v for k, v in self.headers.items()
                           if k.lower() not in ("host", "expect", "connection", "content-length")}
                headers["Host"] = "127.0.0.1:%d" % port
                conn = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
                try:
                    try:
                        conn.request(self.command, self.path, body=body if self.command == "POST" else None,
                                     headers=headers)
                    except OSError:
                        pass   # a refusal may come before the whole body was taken: read it
                    reply = conn.getresponse()
                    self.answer(reply.status, reply.read(), reply.getheader("Content-Type", "text/plain"))
                finally:
                    conn.close()

            def answer(self, status, data, content_type):
                self.send_response(status)
                self.send_header("Content-Type", content_type)
                self.send_header("Content-Length", str(len(data)))
                self.send_header("Connection", "close")
                self.end_headers()
                self.wfile.write(data)
                self.close_connection = True

            def log_message(self, *args):
                pass

        class Server(http.server.ThreadingHTTPServer):
            daemon_threads = True

            def server_bind(self):
                self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 65536)
                super().server_bind()

        self.server = Server(("127.0.0.1", 0), Handler)
        self.base = "http://127.0.0.1:%d" % self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def close(self):
        self.release.set()
        self.server.shutdown()
        self.server.server_close()


def progress_windows():
    """The visible progress windows: (rect, topmost, text, bar position)."""
    found = []
    for w in windows():
        bars = [c for c in w["children"] if c["class"] == "msctls_progress32"]
        if bars:
            texts = [c["text"] for c in w["children"] if c["class"] == "Static"]
            found.append((w["rect"], w["topmost"], texts, bars[0]["pos"]))
    return found


def press(text):
    wine([os.path.join(BUILD, "tests", "wine", "wininfo.exe"), "press", text], timeout=30)


@unittest.skipUnless(os.path.exists(SERVICE), "brivane-service is not built (native build missing)")
class MisbehavingServiceTest(UploadScenario):
    """One program run through a relay in front of the service: a slow upload with its
    window, a file handed over meanwhile, Cancel, the failures, a success, a stall."""

    BIG = 3 * 1024 * 1024

    def setUp(self):
        super().setUp()
        self.small_port = free_port()
        self.small_service = None
        self.relay = None
        self.use_browser_stand_in()

    def tearDown(self):
        if self.relay:
            self.relay.close()
        super().tearDown()
        if self.small_service:
            stop_service(self.small_service)

    def start_services(self, max_upload):
        self.start_service(max_upload)
        with open(self.service_log + ".small", "ab") as log:
            self.small_service = start_service(self.small_port, os.path.join(self.data, "small"), "--public-url",
                                               "http://127.0.0.1:%d" % self.small_port, "--max-upload-size", "1000",
                                               log=log)
        self.relay = Relay(self.port, self.small_port)

    def run_through_relay(self, *args, **settings):
        values = {"site_url": self.relay.base, "screenshots_path": "C:\\shots"}
        values.update(settings)
        return self.start(*args, **values)

    def finished_events(self):
        return len([e for e in self.events() if (e.get("ec"), e.get("ea")) == ("Screenshot", "Finished")])

    def shots(self):
        return sorted(glob.glob(os.path.join(self.prefix.root, "drive_c", "shots", "*.jpg")))

    def temp_copies(self):
        return [p for p in glob.glob(os.path.join(self.prefix.temp, "*.jpg")) if len(os.path.basename(p)) == 20]

    def shoot(self, program, number):
        """Takes full-screen shot `number` (1-based); returns the link on the clipboard."""
        self.assertTrue(post_messages((WM_APP_FULL_SCREENSHOT, 0, 0)))
        wait_until(lambda: program.log_text().count("Screenshot link in clipboard\n") == number, 30,
                   what="shot %d's link" % number)
        return wait_until(clipboard_text, 10, what="the link on the clipboard")

    def close_during_the_stall(self, program):
        """The close request is seen within a second although the upload still hangs;
        the process then ends (Wine's teardown adds its own time)."""
        self.assertFalse(self.relay.release.is_set())
        with open(os.path.join(self.prefix.temp, "cvx_do_close"), "w"):
            pass
        started = time.monotonic()
        wait_until(lambda: "Close request found, exiting" in program.log_text(), 10, interval=0.02,
                   what="the close request to be seen")
        self.assertLess(time.monotonic() - started, 1.0)
        self.assertEqual(program.wait_exit(timeout=30), 0)
        self.assertLess(time.monotonic() - started, 10.0)

    def test_slow_relay_handover_cancel_failures_success_and_stall(self):
        self.start_services(4 * 1024 * 1024)
        content = os.urandom(self.BIG)
        with open(os.path.join(self.prefix.root, "drive_c", "big.bin"), "wb") as f:
            f.write(content)
        with open(os.path.join(self.prefix.root, "drive_c", "small.txt"), "wb") as f:
            f.write(b"small")
        self.relay.mode = "slow"
        program = self.run_through_relay("upload", "C:\\big.bin", storage_type=6, screenshot_file_type=1,
                                         open_screenshot_in_browser=True, max_upload_file_size=4 * 1024 * 1024)

        # The slow upload's window: topmost at the work area's bottom right, its bar from 5
        # upwards, never past 99 before the reply; a file handed over meanwhile is refused.
        seen = []
        handed_over = False
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            found = progress_windows()
            if "OnUploadFinished" in program.log_text():
                break   # this sample may already show the judged end
            if found:
                seen.append(found[0])
                if not handed_over:
                    handed_over = True
                    second = self.install(name="Second").start("upload", "C:\\small.txt")
        self.assertTrue(seen, "no progress window was seen")
        self.assertTrue(handed_over)
        rect, topmost, texts, _ = seen[0]
        self.assertTrue(topmost)
        self.assertIn(PROGRESS_TEXT, texts)
        self.assertGreater(rect[2] - rect[0], 0)
        positions = [s[3] for s in seen]
        self.assertGreaterEqual(positions[0], 5, positions)
        self.assertEqual(positions, sorted(positions), "the bar went back")
        # The log line of the end may come a moment after the full bar: 100 only at the end.
        judged = positions.index(100) if 100 in positions else len(positions)
        self.assertLessEqual(max(positions[:judged]), 99, positions)
        self.assertEqual(positions[judged:], [100] * (len(positions) - judged), positions)
        self.assertGreater(len(set(positions)), 2, "the bar did not follow the slow upload: %s" % positions)
        program.wait_log("CtavimorerfDlg::OnUploadFinished: ok", timeout=5)
        ended = time.monotonic()
        # The window stays about a second with the full bar (the Wine tests time it), then closes.
        wait_until(lambda: not progress_windows(), 10, interval=0.05, what="the window to close")
        self.assertLess(time.monotonic() - ended, 3.0)
        second.wait_exit(60)
        program.wait_log("[Error] [%s]" % TEXT_401, timeout=10)
        link = clipboard_text()
        status, served = fetch(link + "?raw")
        self.assertEqual(status, 200)
        self.assertEqual(sha256(served), sha256(content))
        self.assertEqual(self.relay.posts.count(("/post_file2", "slow")), 1, "the handed-over file was sent")
        wait_until(lambda: self.opened_pages() == [link + "?a"], 20, what="the browser stand-in")

        # Cancel closes the window at once and opens nothing; the upload still completes.
        self.relay.mode = "hold"
        link = self.shoot(program, 1)
        self.assertTrue(link.startswith(self.base + "/s"), link)
        wait_until(progress_windows, 20, interval=0.05, what="the progress window")
        press("Cancel")
        wait_until(lambda: not progress_windows(), 5, interval=0.05, what="Cancel to close the window")
        wait_until(lambda: fetch(link + ".jpg")[0] == 200, 20, what="the cancelled upload to arrive")
        time.sleep(1.5)   # nothing happens: no page opens
        self.assertEqual(len(self.opened_pages()), 1, "Cancel opened the link")

        # Failures: their exact balloon, no "Finished", no browser, both files kept, the
        # link left on the clipboard.
        failures = [("garbage", TEXT_133 + " Code: 0x060000"), ("status7", TEXT_133 + " Code: 0x070007"),
                    ("413", TEXT_179)]
        finished = self.finished_events()
        for number, (mode, text) in enumerate(failures, start=2):
            with self.subTest(mode=mode):
                self.relay.mode = mode
                link = self.shoot(program, number)
                wait_until(lambda: program.log_text().count("OnUploadFinished: failed") == number - 1, 30,
                           what="the %s upload to fail" % mode)
                program.wait_log("[Error] [%s]" % text, timeout=10)
                self.assertEqual(clipboard_text(), link)
                self.assertEqual(len(self.shots()), number)
                self.assertEqual(len(self.temp_copies()), number)
                self.assertEqual(self.finished_events(), finished)
                self.assertEqual(len(self.opened_pages()), 1)
                self.assertEqual(fetch(link + ".jpg")[0], 404)
        self.assertEqual(self.relay.posts.count(("/post_file2", "garbage")), 3, "three attempts")

        # Back to the service: a JPEG shot arrives whole, its page is opened.
        self.relay.mode = "relay"
        link = self.shoot(program, 5)
        # (the cancelled upload's end reached no window, so this is the second "ok")
        wait_until(lambda: program.log_text().count("OnUploadFinished: ok") == 2, 30, what="the upload")
        with open(self.shots()[-1], "rb") as f:
            saved = f.read()
        self.assertEqual(saved[:3], b"\xff\xd8\xff")
        status, served = fetch(link + ".jpg")
        self.assertEqual((status, served), (200, saved))
        wait_until(lambda: self.opened_pages()[1:] == [link + "?a"], 20, what="the browser stand-in")
        wait_until(lambda: self.finished_events() == finished + 1, 20, what="Finished")

        # A stalled service: a shot taken meanwhile is kept locally with a balloon, and the
        # close request ends the program at once.
        self.relay.mode = "stall"
        self.shoot(program, 6)
        self.assertTrue(self.relay.stalled.wait(30))
        self.assertTrue(post_messages((WM_APP_FULL_SCREENSHOT, 0, 0)))
        program.wait_log("[Error] [%s]" % TEXT_400, timeout=30)
        self.assertEqual(len(self.shots()), 7)
        self.close_during_the_stall(program)

    def test_a_stall_past_the_limit_fails_and_the_program_goes_on(self):
        # The service takes the whole upload and then sends nothing: curl gives the
        # attempt up by the stall limit (30 s without a byte moving), not earlier. The
        # service then falls over, so the other two attempts fail at once and the upload
        # ends with the error of a missing reply; the next shot, with the service back,
        # goes up.
        self.start_services(MAX_UPLOAD)
        self.relay.mode = "stall-once"
        program = self.run_through_relay(storage_type=6, screenshot_file_type=1, open_screenshot_in_browser=True)
        link = self.shoot(program, 1)
        self.assertTrue(self.relay.stalled.wait(30))
        stalled = time.monotonic()
        program.wait_log("Upload attempt 1 ended: 0x60000", timeout=60)
        attempt_ended = time.monotonic() - stalled
        self.assertIsNotNone(self.relay.hung_up_after, "curl never hung up")
        # curl measures its speed over its last few seconds: the limit plus up to ~6 s.
        self.assertGreaterEqual(self.relay.hung_up_after, 29.5)
        self.assertLess(self.relay.hung_up_after, 45)
        self.assertGreaterEqual(attempt_ended, 29.5)
        program.wait_log("CtavimorerfDlg::OnUploadFinished: failed", timeout=30)
        program.wait_log("[Error] [%s Code: 0x060000]" % TEXT_133, timeout=10)
        self.assertEqual(self.relay.posts.count(("/post_file2", "stall-once")), 3, "three attempts")
        self.assertEqual(clipboard_text(), link)
        self.assertEqual(len(self.shots()), 1)
        self.assertEqual(len(self.temp_copies()), 1)
        self.assertEqual(self.finished_events(), 0)
        self.assertEqual(self.opened_pages(), [])
        self.assertEqual(fetch(link + ".jpg")[0], 404)

        self.relay.mode = "relay"
        link = self.shoot(program, 2)
        program.wait_log("CtavimorerfDlg::OnUploadFinished: ok", timeout=60)
        with open(max(self.shots(), key=os.path.getmtime), "rb") as f:
            saved = f.read()
        self.assertEqual(fetch(link + ".jpg"), (200, saved))
        wait_until(lambda: self.opened_pages() == [link + "?a"], 20, what="the browser stand-in")
        self.assertIsNone(program.proc.poll())

    def test_close_request_during_a_stall_in_silent_mode(self):
        self.start_services(MAX_UPLOAD)
        self.relay.mode = "stall"
        program = self.run_through_relay(silent_mode=True, screenshot_file_type=1)
        self.assertTrue(post_messages((WM_APP_FULL_SCREENSHOT, 0, 0)))
        self.assertTrue(self.relay.stalled.wait(30))
        self.assertEqual(progress_windows(), [])
        self.close_during_the_stall(program)
        self.assertNotIn("ShowBalloon: shown", program.log_text())
