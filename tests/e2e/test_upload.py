"""Uploads against the project's own web service (brivane-service on 127.0.0.1): a
full-screen shot with storage "Server", a file given on the command line, the identifier
pool, sync, and a service that is down."""

import glob
import hashlib
import json
import os
import shutil
import socket
import subprocess
import tempfile
import time
import unittest
import urllib.error
import urllib.request

from harness import BUILD, REPO, ProgramTest, wait_until, wine
from shell_support import post_messages, read_settings, wait_main_window, write_settings

NATIVE_BUILD = os.environ.get("BRIVANE_NATIVE_BUILD", os.path.join(REPO, "build", "native"))
SERVICE = os.path.join(NATIVE_BUILD, "service", "brivane-service")

WM_APP_FULL_SCREENSHOT = 0x404
APP_ID = "{5B1E2A3C-4D5E-4F60-8172-93A4B5C6D7E8}"
MAX_UPLOAD = 100000


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


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


@unittest.skipUnless(os.path.exists(SERVICE), "brivane-service is not built (native build missing)")
class UploadTest(ProgramTest):

    def setUp(self):
        super().setUp()
        os.environ.setdefault("LANG", "C.UTF-8")
        self.data = tempfile.mkdtemp(prefix="brivane-e2e-upload-")
        self.port = free_port()
        self.base = "http://127.0.0.1:%d" % self.port
        self.service_log = os.path.join(self.data, "service.log")
        self.service = None

    def tearDown(self):
        super().tearDown()
        self.stop_service()
        shutil.rmtree(self.data, ignore_errors=True)

    def start_service(self):
        with open(self.service_log, "ab") as log:
            self.service = subprocess.Popen(
                [SERVICE, "--listen", "127.0.0.1:%d" % self.port, "--data", os.path.join(self.data, "d"),
                 "--public-url", self.base, "--max-upload-size", str(MAX_UPLOAD)],
                stdout=subprocess.DEVNULL, stderr=log)
        wait_until(self.service_up, 20, what="brivane-service to listen")

    def stop_service(self):
        if self.service:
            self.service.kill()
            self.service.wait(timeout=10)
            self.service = None

    def service_up(self):
        try:
            with socket.create_connection(("127.0.0.1", self.port), timeout=0.5):
                return True
        except OSError:
            return False

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

    def saved_shots(self):
        return glob.glob(os.path.join(self.prefix.common, "tmp", "Screenshot *.png"))

    def test_full_screen_shot_goes_to_the_service_with_its_link_on_the_clipboard(self):
        self.start_service()
        program = self.start()
        # Sync about 2 s after the start: the service's size limit lands in the settings.
        program.wait_log("max_upload_file_size %d" % MAX_UPLOAD, timeout=30)
        self.assertIn("GET /sync.php?appid=%7B" if "%7B" in self.requests() else "GET /sync.php?appid={",
                      self.requests())
        wait_until(lambda: read_settings(self.prefix).get("max_upload_file_size") == MAX_UPLOAD, 30,
                   what="the synced size in settings.json")

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

        # Handed over to the running instance: one byte over the limit is refused. The
        # progress window stays up for 1 s after the end, and a file handed over while it
        # is up is refused as "still running": let it close first.
        time.sleep(2.5)
        posts = self.requests().count("POST /post_file2")
        second = self.install(name="Second").start("upload", "C:\\up load\\big.bin")
        second.wait_exit(60)
        program.wait_log("[Error] [Sorry, but file is too big to upload.]", timeout=30)
        time.sleep(1)
        self.assertEqual(self.requests().count("POST /post_file2"), posts)

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
