"""Full-screen and active-window screenshots: the hotkeys as the poller sees them
(keys pressed with SendInput), the files they leave, the clipboard picture read back by
another process, and the analytics events at a local collector."""

import datetime
import os
import re
import shutil
import subprocess
import tempfile
import time

from harness import ProgramTest, helper, wait_until, wait_written, windows, wine
from shell_support import Collector, post_messages, wait_main_window, write_settings

WM_APP_FULL_SCREENSHOT = 0x404
WM_APP_ERROR = 0x40B

PRTSCR, CTRL, SHIFT, KEY_A, LBUTTON, RBUTTON, ESCAPE = 44, 17, 16, 65, 1, 2, 27

NAME = re.compile(r"^Screenshot (\d\d)-(\d\d)-(\d{4}) (\d{6})( \(\d+\))?\.(png|jpg)$")

# The test window's quadrant colours (see tests/wine/helpers/screenshot_window.cpp).
RED, GREEN, BLUE, YELLOW = (220, 30, 30), (30, 200, 60), (40, 60, 230), (240, 220, 20)


def press(*steps):
    """Presses and releases keys through the keypress helper: "d44", "u44", "s200"."""
    result = wine([helper("keypress")] + list(steps), timeout=60)
    if result.returncode != 0:
        raise AssertionError("keypress %s failed: %d" % (" ".join(steps), result.returncode))


def image_size(path):
    out = subprocess.run(["identify", "-format", "%w %h", path + "[0]"], capture_output=True, check=True).stdout
    w, h = out.decode().split()
    return int(w), int(h)


def rgb_pixels(path):
    """(width, height, bytes) of the image as 8-bit RGB rows, top row first."""
    w, h = image_size(path)
    data = subprocess.run(["convert", path + "[0]", "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout
    assert len(data) == w * h * 3, (path, len(data), w, h)
    return w, h, data


def pixel(img, x, y):
    w, h, data = img
    i = (y * w + x) * 3
    return tuple(data[i:i + 3])


def has_alpha(path):
    out = subprocess.run(["identify", "-format", "%[channels]", path], capture_output=True, check=True).stdout
    return "a" in out.decode().lower()


def assert_quadrants(test, img, left, top, width, height):
    """The test window's four quadrants at (left, top) of the image, checked a few pixels
    inside each corner and at the centre of each quadrant."""
    mx, my = width // 2, height // 2
    spots = {RED: [(2, 2), (mx - 3, my - 3), (mx // 2, my // 2)],
             GREEN: [(width - 3, 2), (mx + 2, my - 3), (mx + mx // 2, my // 2)],
             BLUE: [(2, height - 3), (mx - 3, my + 2), (mx // 2, my + my // 2)],
             YELLOW: [(width - 3, height - 3), (mx + 2, my + 2), (mx + mx // 2, my + my // 2)]}
    for colour, points in spots.items():
        for x, y in points:
            test.assertEqual(pixel(img, left + x, top + y), colour, "at (%d, %d) of the window" % (x, y))


def wait_balloon(timeout=10):
    """Waits for the tray balloon (a visible tooltip window; its text cannot be read from
    another process)."""
    wait_until(lambda: any(w["class"] == "tooltips_class32" for w in windows()), timeout, interval=0.3,
               what="a tray balloon")


class ScreenshotTest(ProgramTest):

    def setUp(self):
        super().setUp()
        self.collector = Collector()
        self.addCleanup(self.collector.close)
        self.shots = os.path.join(self.prefix.root, "drive_c", "shots")
        if os.path.isdir(self.shots):
            for f in os.listdir(self.shots):
                os.remove(os.path.join(self.shots, f))
        self.tmp = tempfile.mkdtemp(prefix="shot-")
        self.addCleanup(shutil.rmtree, self.tmp, True)

    def start(self, hotkeys=True, **settings):
        program = self.install()
        values = {"analytics_url": self.collector.url, "storage_type": 5, "screenshots_path": "C:\\shots",
                  "capture_cursor": False, "play_sound": False, "screenshot_file_type": 0,
                  "hotkey_full_screenshot": "44", "hotkey_region_screenshot": "17,44",
                  "hotkey_active_window_screenshot": "17,65"}
        values.update(settings)
        write_settings(self.prefix, values)
        program.start("-s")   # quiet: the settings window stays hidden
        program.wait_log("Going to start Main Window\n", timeout=60)
        wait_main_window()
        if hotkeys:
            program.wait_log("HotkeysManager: poller started\n", timeout=10)
        return program

    def files(self):
        if not os.path.isdir(self.shots):
            return []
        return sorted(os.listdir(self.shots))

    def wait_files(self, count, timeout=30):
        wait_until(lambda: len(self.files()) >= count, timeout, what="%d screenshot file(s) in %r" % (count, self.files()))
        for name in self.files():
            wait_written(os.path.join(self.shots, name))
        return self.files()

    def screen_size(self):
        root = os.path.join(self.tmp, "root.png")
        subprocess.run(["import", "-window", "root", root], check=True, timeout=60)
        return image_size(root)

    def test_full_screen_key_saves_the_screen_and_puts_it_on_the_clipboard(self):
        self.show_window(100, 80, 320, 240)
        program = self.start()
        press("d%d" % PRTSCR, "s150", "u%d" % PRTSCR)
        files = self.wait_files(1)
        root = os.path.join(self.tmp, "root.png")
        subprocess.run(["import", "-window", "root", root], check=True, timeout=60)
        self.assertEqual(len(files), 1, files)
        self.assertRegex(files[0], NAME)
        day, month, year, hms = NAME.match(files[0]).groups()[:4]
        taken = datetime.datetime(int(year), int(month), int(day), int(hms[:2]), int(hms[2:4]), int(hms[4:]))
        self.assertLess(abs((datetime.datetime.now() - taken).total_seconds()), 120, "named after the local time")
        self.assertTrue(files[0].endswith(".png"), files)
        shot_path = os.path.join(self.shots, files[0])
        self.assertFalse(has_alpha(shot_path), "the saved PNG must be opaque")
        shot, screen = rgb_pixels(shot_path), rgb_pixels(root)
        self.assertEqual(shot[:2], screen[:2], "the shot has the screen's size")
        assert_quadrants(self, shot, 100, 80, 320, 240)
        # Elsewhere only the tray window and a balloon may have changed since the shot.
        differing = sum(1 for i in range(0, len(shot[2]), 3) if shot[2][i:i + 3] != screen[2][i:i + 3])
        self.assertLess(differing, shot[0] * shot[1] // 50, "pixels that differ from the screen")

        self.collector.wait_event("Screenshot.Fullscreen", "Launch on Hotkey", "Clipboard + Local")
        self.collector.wait_event("Screenshot", "Finished", "")
        self.assertIn("Hotkey: FullScreenshot", program.log_text())
        wait_balloon()   # "Screenshot is in your  clipboard"

        # A second process reads the same picture from the clipboard.
        bmp = os.path.join(self.tmp, "clip.bmp")
        wait_until(lambda: wine([helper("clipdib"), bmp], timeout=30).returncode == 0, 10, interval=0.5,
                   what="a picture on the clipboard")
        clip = rgb_pixels(bmp)
        self.assertEqual(clip[:2], shot[:2])
        self.assertEqual(clip[2], shot[2], "the clipboard holds the saved picture")

    def test_jpeg_type_writes_a_jpeg_of_the_configured_quality(self):
        self.show_window(60, 60, 200, 160)
        self.start(hotkeys=False, screenshot_file_type=1, jpeg_quality=75, storage_type=4)
        self.assertTrue(post_messages((WM_APP_FULL_SCREENSHOT, 0, 0)))
        files = self.wait_files(1)
        self.assertTrue(files[0].endswith(".jpg"), files)
        path = os.path.join(self.shots, files[0])
        with open(path, "rb") as f:
            self.assertEqual(f.read(3), b"\xff\xd8\xff")
        quality = subprocess.run(["identify", "-format", "%Q", path], capture_output=True, check=True).stdout
        self.assertEqual(quality.decode().strip(), "75")
        self.assertEqual(image_size(path), self.screen_size())

    def test_active_window_key_takes_the_foreground_window_clipped_to_the_screen(self):
        program = self.start(storage_type=4)
        for (x, y, expect_left, expect_top) in ((150, 120, 0, 0), (-40, -30, 40, 30)):
            with self.subTest(x=x, y=y):
                for f in self.files():
                    os.remove(os.path.join(self.shots, f))
                win = self.show_window(x, y, 300, 220)
                press("d%d" % CTRL, "d%d" % KEY_A, "s150", "u%d" % KEY_A, "u%d" % CTRL)
                files = self.wait_files(1)
                shot = rgb_pixels(os.path.join(self.shots, files[0]))
                # Partly off the screen: only the visible part, starting at the screen's corner.
                self.assertEqual(shot[:2], (300 - expect_left, 220 - expect_top))
                self.assertEqual(pixel(shot, 1, 1), RED)
                self.assertEqual(pixel(shot, shot[0] - 2, shot[1] - 2), YELLOW)
                self.assertEqual(pixel(shot, shot[0] - 2, 1), GREEN)
                self.assertEqual(pixel(shot, 1, shot[1] - 2), BLUE)
                win.kill()
                win.wait(timeout=30)
                wait_until(lambda: not [w for w in windows() if w["class"] == "ScreenshotTestWindow"], 15, interval=0.3,
                           what="the test window to close")
        self.collector.wait_event("Screenshot.Window", "Launch on Hotkey", "Clipboard + Local")
        self.assertIn("Hotkey: ActiveWindowScreenshot", program.log_text())

    def test_held_key_fires_once_and_ctrl_printscreen_only_the_region_slot(self):
        program = self.start()
        press("d%d" % PRTSCR, "s1000", "u%d" % PRTSCR)
        self.wait_files(1)
        time.sleep(1.0)   # nothing happens: the held key takes no second shot
        self.assertEqual(len(self.files()), 1, self.files())
        self.assertEqual(program.log_messages().count("Hotkey: FullScreenshot"), 1)

        press("d%d" % CTRL, "d%d" % PRTSCR, "s300", "u%d" % PRTSCR, "u%d" % CTRL)
        program.wait_log("Hotkey: RegionScreenshot\n", timeout=10)
        self.collector.wait_event("Screenshot.Region", "Launch on Hotkey", "Clipboard + Local")
        time.sleep(0.5)   # nothing happens: no full-screen shot
        self.assertEqual(program.log_messages().count("Hotkey: FullScreenshot"), 1)
        self.assertEqual(len(self.files()), 1, "the region slot takes no full-screen shot")
        # The region slot opened the editor over the screen: Escape closes it, and the
        # program takes shots again.
        press("d%d" % ESCAPE, "s150", "u%d" % ESCAPE)
        self.collector.wait_event("SelectRegion", "Cancel", "")

        # Two presses within 200 ms are one shot.
        press("d%d" % PRTSCR, "s60", "u%d" % PRTSCR, "s60", "d%d" % PRTSCR, "s60", "u%d" % PRTSCR)
        self.wait_files(2)
        time.sleep(1.5)   # nothing happens: no third shot
        self.assertEqual(len(self.files()), 2, self.files())

    def test_silent_mode_disables_the_mouse_gesture_only(self):
        for silent in (False, True):
            with self.subTest(silent=silent):
                self.collector.events.clear()
                program = self.start(silent_mode=silent, use_lr_mouse_for_regio_screenshot=True, storage_type=1)
                press("d%d" % LBUTTON, "d%d" % RBUTTON, "s200", "u%d" % RBUTTON, "u%d" % LBUTTON)
                program.wait_log("Hotkey: RegionScreenshotByMouse\n", timeout=10)
                if silent:
                    time.sleep(2)   # nothing happens: the gesture takes no shot
                    self.assertIsNone(self.collector.find("Screenshot.Region", "Launch on Mouse"))
                    # The keyboard still works in silent mode.
                    press("d%d" % PRTSCR, "s100", "u%d" % PRTSCR)
                    self.collector.wait_event("Screenshot.Fullscreen", "Launch on Hotkey", "Clipboard")
                else:
                    self.collector.wait_event("Screenshot.Region", "Launch on Mouse", "Clipboard")
                program.kill()

    def test_two_shots_in_one_second_keep_both_files(self):
        self.start(hotkeys=False, storage_type=4)
        self.assertTrue(post_messages((WM_APP_FULL_SCREENSHOT, 0, 0), (WM_APP_FULL_SCREENSHOT, 0, 0)))
        files = self.wait_files(2)
        self.assertEqual(len(files), 2, files)
        stamps = [NAME.match(f).group(4) for f in files]
        if stamps[0] == stamps[1]:
            self.assertTrue(any(" (2)." in f for f in files), files)

    def test_folder_that_cannot_be_created_reports_the_folder_error(self):
        blocker = os.path.join(self.prefix.root, "drive_c", "blocker")
        with open(blocker, "w") as f:
            f.write("a file where the folder should be")
        self.addCleanup(os.remove, blocker)
        program = self.start(hotkeys=False, screenshots_path="C:\\blocker\\shots")
        self.assertTrue(post_messages((WM_APP_FULL_SCREENSHOT, 0, 0)))
        self.collector.wait_event("Error", "SaveScreenshotFile", "CreateDirectory")
        program.wait_log("SaveScreenshotFile: cannot create", timeout=10)
        wait_balloon()   # 138
        time.sleep(1)   # nothing happens: no Finished event
        self.assertIsNone(self.collector.find("Screenshot", "Finished"))

    def test_failed_write_is_a_failed_screenshot(self):
        # A drive on a read-only file system: the folder exists, no file can be made in it.
        link = os.path.join(self.prefix.root, "dosdevices", "r:")
        if os.path.lexists(link):
            os.remove(link)
        os.symlink("/proc/self", link)
        self.addCleanup(os.remove, link)
        program = self.start(hotkeys=False, screenshots_path="R:\\")
        self.assertTrue(post_messages((WM_APP_FULL_SCREENSHOT, 0, 0)))
        self.collector.wait_event("Screenshot", "Failed", "")
        program.wait_log("SaveScreenshotFile: cannot write", timeout=10)
        wait_balloon()   # 137
        time.sleep(1)   # nothing happens: no Finished event
        self.assertIsNone(self.collector.find("Screenshot", "Finished"))
        self.assertNotIn("Screenshot saved", program.log_text())
