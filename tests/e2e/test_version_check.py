"""The version check against the project's own web service: the latest-version request
on its 1-s timer, the stored version, the daily pop-up in the corner of the screen and
the banner over the settings window, and the download pages they open.

The browser is a stand-in: Wine's winebrowser runs the program named in
HKCU\\Software\\Wine\\WineBrowser "Browsers", here a script that records the address and
fetches it from the service."""

import json
import os
import shutil
import subprocess
import tempfile
import time
import unittest

from harness import BUILD, REPO, SERVICE, free_port, start_service, stop_service, wait_until, wine
from shell_support import post_messages, read_settings
from test_tray import TrayProgramTest

WM_TIMER = 0x0113
TIMER_LATEST_VERSION = 4
TIMER_VERSION_CHECK = 5
WM_APP_SHOW_SETTINGS = 0x408
WM_APP_HIDE_SETTINGS = 0x407
WM_APP_QUIT = 0x406
IDOK = 1
IDCANCEL = 2
ALERT = "new-version?utm_source=Update&utm_medium=click&utm_campaign=Update_Alert"
SETTINGS_PAGE = "new-version?utm_source=Update&utm_medium=click&utm_campaign=Update_Settings"
SHOTS = os.environ.get("BRIVANE_E2E_SHOTS", os.path.join(REPO, "build", "e2e-shots"))


def dialogs():
    """Visible top-level dialogs with rectangles and controls, and the work area."""
    out = wine([os.path.join(BUILD, "tests", "wine", "winrects.exe")], timeout=30).stdout.decode("utf-8", "replace")
    rows = [json.loads(line) for line in out.splitlines() if line.startswith("{")]
    work = next(r["workarea"] for r in rows if "workarea" in r)
    return [r for r in rows if "rect" in r], work


def find_dialog(button_text):
    """The dialog that holds a button with this text, or None."""
    for d in dialogs()[0]:
        if any(c["text"] == button_text for c in d["children"]):
            return d
    return None


def child(dialog, control_id):
    return next(c for c in dialog["children"] if c["id"] == control_id)


def banner_of(main):
    """The banner inside the settings window: the visible child dialog that holds the
    "Install" button, as (banner, button); None when there is none."""
    buttons = [c for c in main["children"] if c["text"] == "Install" and c["visible"]]
    if not buttons:
        return None
    b = buttons[0]["rect"]
    for c in main["children"]:
        r = c["rect"]
        if c["class"] == "#32770" and c["visible"] and r[0] <= b[0] and r[1] <= b[1] and r[2] >= b[2] and r[3] >= b[3]:
            return c, buttons[0]
    return None


def main_dialog():
    return next((d for d in dialogs()[0] if d["caption"].startswith("Brivane ")), None)


def click(rect):
    x = (rect[0] + rect[2]) // 2
    y = (rect[1] + rect[3]) // 2
    subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], check=True, timeout=10)


def screenshot(name):
    os.makedirs(SHOTS, exist_ok=True)
    path = os.path.join(SHOTS, name)
    subprocess.run(["import", "-window", "root", path], timeout=30, check=False)
    return path


@unittest.skipUnless(os.path.exists(SERVICE), "brivane-service is not built (native build missing)")
class VersionCheckTest(TrayProgramTest):

    def start_service(self, latest):
        self.data = tempfile.mkdtemp(prefix="brivane-e2e-version-")
        self.port = free_port()
        self.site = "http://127.0.0.1:%d" % self.port
        self.service_log = os.path.join(self.data, "requests.log")
        with open(self.service_log, "wb") as log:
            self.service = start_service(self.port, os.path.join(self.data, "db"), "--latest-version", latest,
                                         log=log)
        self.addCleanup(self.stop_service)

    def stop_service(self):
        stop_service(self.service)
        shutil.rmtree(self.data, ignore_errors=True)

    def requests(self):
        with open(self.service_log, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def setUp(self):
        super().setUp()
        self.data = None
        self.use_browser_stand_in(fetch=True)   # the service sees the pages asked for

    def start_program(self, extra=None, *args):
        settings = {"site_url": self.site}
        settings.update(extra or {})
        return self.start(*args, settings=settings)

    def wait_stored_version(self, version, timeout=30):
        wait_until(lambda: read_settings(self.prefix).get("available_version") == version, timeout, interval=0.5,
                   what="available_version %r in %r" % (version, read_settings(self.prefix)))

    def check_again(self, program):
        """Timer 5 once more; waits until the comparison has found the newer version again
        (its log line)."""
        found = lambda: program.log_text().count(" is available\n")
        before = found()
        self.assertTrue(post_messages((WM_TIMER, TIMER_VERSION_CHECK, 0)))
        wait_until(lambda: found() > before, 20, interval=0.3, what="another version check in the log")

    def test_newer_version_pop_up_and_banner(self):
        self.start_service("3.11.0.1")
        before = int(time.time())
        program = self.start_program(None, "-s")
        # The real timer 4, one second after the start.
        wait_until(lambda: "GET /actver.php?" in self.requests(), 20, what="the latest-version request")
        line = next(l for l in self.requests().splitlines() if "/actver.php?" in l)
        asked = int(line.split("/actver.php?")[1].split('"')[0].split()[0])
        self.assertLessEqual(abs(asked - before), 60)
        self.wait_stored_version("3.11.0.1")

        # Timer 5 without waiting two minutes: the pop-up in the corner.
        self.assertTrue(post_messages((WM_TIMER, TIMER_VERSION_CHECK, 0)))
        popup = wait_until(lambda: find_dialog("Download"), 20, interval=0.5, what="the pop-up")
        _, work = dialogs()
        left, top, right, bottom = popup["rect"]
        self.assertEqual(right, work[2] - 4)
        self.assertEqual(bottom, work[3])
        self.assertTrue(popup["topmost"])
        download = child(popup, IDOK)
        close = child(popup, IDCANCEL)
        self.assertEqual([download["rect"][2] - download["rect"][0], download["rect"][3] - download["rect"][1]],
                         [140, 32])
        self.assertEqual([close["rect"][0] - left, close["rect"][1] - top], [316, 4])
        shown_at = wait_until(lambda: read_settings(self.prefix).get("notify_new_version_last_ts"), 10,
                              interval=0.5, what="the pop-up's time stamp")
        self.assertLessEqual(abs(shown_at - int(time.time())), 60)
        self.shot_popup = screenshot("version_popup.png")

        # "Download": hidden, and the alert page opens (the service answers it).
        click(download["rect"])
        wait_until(lambda: find_dialog("Download") is None, 10, interval=0.5, what="the pop-up to hide")
        wait_until(lambda: self.opened_pages(), 20, interval=0.5, what="the browser stand-in")
        self.assertEqual(self.opened_pages(), [self.site + "/" + ALERT])
        wait_until(lambda: "GET /new-version?" in self.requests(), 20, what="the download page request")

        # Within a day: another check shows no pop-up.
        self.check_again(program)
        self.assertIsNone(find_dialog("Download"))

        # The banner: shown with the settings window, above its controls.
        self.assertTrue(post_messages((WM_APP_SHOW_SETTINGS, 0, 0)))
        wait_until(lambda: main_dialog() and banner_of(main_dialog()), 20, interval=0.5, what="the banner")
        main = main_dialog()
        banner, install = banner_of(main)
        self.assertEqual(banner["rect"][0:2], [main["rect"][0] + 16, main["rect"][1] + 34])
        self.assertEqual(banner["rect"][3] - banner["rect"][1], 32)
        self.assertEqual([install["rect"][2] - install["rect"][0], install["rect"][3] - install["rect"][1]], [100, 24])
        for control_id in (1026, 1038, 1045, 1059, 1060):
            self.assertGreaterEqual(child(main, control_id)["rect"][1], banner["rect"][3], control_id)
        for text in ("OK", "Cancel", "Game mode"):
            control = next(c for c in main["children"] if c["text"] == text)
            self.assertGreaterEqual(control["rect"][1], banner["rect"][3], text)
        self.shot_banner = screenshot("version_banner.png")
        # A second positive check adds nothing: same window height, controls in place.
        height = main["rect"][3] - main["rect"][1]
        tab_top = child(main, 1026)["rect"][1]
        self.check_again(program)
        main2 = main_dialog()
        self.assertEqual(main2["rect"][3] - main2["rect"][1], height)
        self.assertEqual(child(main2, 1026)["rect"][1], tab_top)
        # Moving the window moves the banner.
        wine([os.path.join(BUILD, "tests", "wine", "winrects.exe"), "move", "100", "120"], timeout=30)
        wait_until(lambda: main_dialog()["rect"][0:2] == [100, 120], 10, interval=0.5, what="the window to move")
        moved = banner_of(main_dialog())[0]
        self.assertEqual(moved["rect"][0:2], [116, 154])
        # "Install" opens the settings page.
        click(banner_of(main_dialog())[1]["rect"])
        wait_until(lambda: len(self.opened_pages()) == 2, 20, interval=0.5, what="the second page")
        self.assertEqual(self.opened_pages()[1], self.site + "/" + SETTINGS_PAGE)
        # Hiding the settings window hides the banner.
        self.assertTrue(post_messages((WM_APP_HIDE_SETTINGS, 0, 0)))
        wait_until(lambda: main_dialog() is None, 10, interval=0.5, what="the settings window to hide")

        # The pop-up's time stamp is in settings.json, so a restart within the day shows
        # no pop-up either (the gate itself is tested natively).
        self.assertEqual(read_settings(self.prefix).get("notify_new_version_last_ts"), shown_at)

    def test_close_button_hides_the_pop_up_and_opens_nothing(self):
        self.start_service("3.10.1.0")   # newer than 3.10.0.58 component by component
        self.start_program(None, "-s")
        self.wait_stored_version("3.10.1.0")
        self.assertTrue(post_messages((WM_TIMER, TIMER_VERSION_CHECK, 0)))
        popup = wait_until(lambda: find_dialog("Download"), 20, interval=0.5, what="the pop-up")
        click(child(popup, IDCANCEL)["rect"])
        wait_until(lambda: find_dialog("Download") is None, 10, interval=0.5, what="the pop-up to hide")
        time.sleep(2)   # nothing happens: no page opens
        self.assertEqual(self.opened_pages(), [])

    def check_not_newer(self, latest):
        self.start_service(latest)
        self.start_program({"available_version": "1.0"}, "-s")
        self.wait_stored_version(latest)
        self.assertTrue(post_messages((WM_TIMER, TIMER_VERSION_CHECK, 0)))
        time.sleep(2)   # nothing happens: no pop-up
        self.assertIsNone(find_dialog("Download"))
        self.assertFalse(read_settings(self.prefix).get("notify_new_version_last_ts"))

    def test_the_same_version_shows_nothing(self):
        self.check_not_newer("3.10.0.58")

    def test_an_older_version_shows_nothing(self):
        self.check_not_newer("3.9.99.99")

    def test_service_down_leaves_the_stored_version(self):
        self.site = "http://127.0.0.1:%d" % free_port()   # nobody listens there
        program = self.start_program({"available_version": "3.10.0.58"}, "-s")
        self.assertTrue(post_messages((WM_TIMER, TIMER_LATEST_VERSION, 0)))
        time.sleep(4)   # nothing happens: the stored version stays
        self.assertEqual(read_settings(self.prefix).get("available_version"), "3.10.0.58")
        self.assertIsNone(find_dialog("Download"))
