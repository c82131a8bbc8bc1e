"""Region screenshots: the region key or "-r" freezes and dims the screen, a drag with
the real pointer (xdotool) selects, and the editor's marks, undo, Enter and Escape decide
what is written. Files, the clipboard (read by another process) and the analytics events
are checked."""

import os
import shutil
import subprocess
import tempfile
import time

from harness import ProgramTest, wait_until, windows, wine
from shell_support import Collector, read_settings, wait_main_window, write_settings
from test_screenshot import helper, image_size, pixel, press, rgb_pixels

REGION_KEY = 44   # PrintScreen


def xdo(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True, timeout=30)


def drag(x1, y1, x2, y2, steps=6):
    xdo("mousemove", x1, y1)
    time.sleep(0.1)
    xdo("mousedown", 1)
    time.sleep(0.1)
    for i in range(1, steps + 1):
        xdo("mousemove", x1 + (x2 - x1) * i // steps, y1 + (y2 - y1) * i // steps)
        time.sleep(0.05)
    time.sleep(0.1)
    xdo("mouseup", 1)
    time.sleep(0.3)


def key(*names):
    """Holds the keys long enough for the editor's 10 ms key poll, then releases them."""
    xdo("keydown", "+".join(names))
    time.sleep(0.15)
    xdo("keyup", "+".join(names))


def grey_then_darker(rgb):
    """The dimmed colour of a pixel: grey by the image library's weights, then 46 darker."""
    r, g, b = rgb
    grey = (r * 299 + g * 587 + b * 114) // 1000   # approximately the library's grey
    return max(0, grey - 46)


class RegionTest(ProgramTest):

    def setUp(self):
        super().setUp()
        self.collector = Collector()
        self.addCleanup(self.collector.close)
        self.shots = os.path.join(self.prefix.root, "drive_c", "shots")
        shutil.rmtree(self.shots, ignore_errors=True)
        self.tmp = tempfile.mkdtemp(prefix="region-")
        self.addCleanup(shutil.rmtree, self.tmp, True)
        self.windows = []
        self.addCleanup(self.close_windows)

    def close_windows(self):
        for p in self.windows:
            if p.poll() is None:
                p.kill()
                p.wait(timeout=30)
            p.stdout.close()

    def show_window(self, x, y, width, height):
        proc = subprocess.Popen(["wine", helper("screenshot_window"), str(x), str(y), str(width), str(height), "90"],
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.windows.append(proc)
        line = proc.stdout.readline().decode()
        self.assertTrue(line.startswith("ready"), line)
        time.sleep(0.5)
        return proc

    def start(self, *args, **settings):
        program = self.install()
        values = {"analytics_url": self.collector.url, "storage_type": 5, "screenshots_path": "C:\\shots",
                  "capture_cursor": False, "play_sound": False, "screenshot_file_type": 0,
                  "hotkey_region_screenshot": str(REGION_KEY), "hotkey_draw_mode_activation": "17",
                  "select_and_draw_mode": False, "editor_color": 255}
        values.update(settings)
        write_settings(self.prefix, values)
        program.start(*(args or ("-s",)))
        program.wait_log("Going to start Main Window\n", timeout=60)
        wait_main_window()
        return program

    def root(self, name):
        path = os.path.join(self.tmp, name)
        subprocess.run(["import", "-window", "root", path], check=True, timeout=60)
        return rgb_pixels(path)

    def files(self):
        return sorted(os.listdir(self.shots)) if os.path.isdir(self.shots) else []

    def count(self, category, action):
        return sum(1 for e in list(self.collector.events) if e.get("ec") == category and e.get("ea") == action)

    def wait_opened(self, action, count=1):
        wait_until(lambda: self.count("SelectRegion", action) >= count, 30, interval=0.2,
                   what="the editor to open (%s)" % action)
        time.sleep(0.8)   # the window is shown and painted

    def test_plain_region_key_dims_the_screen_and_saves_the_exact_crop(self):
        self.show_window(100, 80, 400, 300)
        program = self.start()
        program.wait_log("HotkeysManager: poller started\n", timeout=10)
        before = self.root("before.png")
        press("d%d" % REGION_KEY, "s150", "u%d" % REGION_KEY)
        self.wait_opened("Open without Editor")
        dimmed = self.root("dimmed.png")
        # Inside the test window: each pixel grey and darker than the screen before.
        for x, y in ((120, 100), (400, 120), (130, 350), (450, 350)):
            r, g, b = pixel(dimmed, x, y)
            self.assertEqual(r, g, (x, y))
            self.assertEqual(g, b, (x, y))
            self.assertLessEqual(abs(r - grey_then_darker(pixel(before, x, y))), 3, (x, y))
        drag(150, 130, 400, 260)
        wait_until(lambda: len(self.files()) == 1, 30, what="one screenshot file")
        time.sleep(0.3)
        path = os.path.join(self.shots, self.files()[0])
        self.assertTrue(self.files()[0].startswith("Screenshot ") and path.endswith(".png"), self.files())
        shot = rgb_pixels(path)
        self.assertEqual(shot[:2], (250, 130))
        for y in range(0, 130, 9):
            for x in range(0, 250, 13):
                self.assertEqual(pixel(shot, x, y), pixel(before, 150 + x, 130 + y), (x, y))
        bmp = os.path.join(self.tmp, "clip.bmp")
        wait_until(lambda: wine([helper("clipdib"), bmp], timeout=30).returncode == 0, 10, interval=0.5,
                   what="a picture on the clipboard")
        self.assertEqual(rgb_pixels(bmp)[2], shot[2], "the clipboard holds the saved picture")
        self.collector.wait_event("Screenshot", "Finished", "")

    def test_editor_arrow_undo_and_enter_write_the_annotated_picture(self):
        self.show_window(100, 80, 400, 300)
        self.start("-r", select_and_draw_mode=True)
        self.wait_opened("Open with Editor")
        drag(150, 130, 450, 330)
        xdo("mousemove", 300, 230)
        time.sleep(0.3)
        drag(180, 160, 380, 160)   # an arrow (the Arrow tool is chosen by itself)
        drag(180, 300, 380, 300)   # a second arrow, undone below
        key("ctrl", "z")
        time.sleep(0.5)
        arrow = self.root("arrow.png")
        self.assertEqual(pixel(arrow, 280, 160), (255, 0, 0), "the first arrow is drawn")
        key("Return")
        wait_until(lambda: len(self.files()) == 1, 30, what="one screenshot file")
        time.sleep(0.3)
        shot = rgb_pixels(os.path.join(self.shots, self.files()[0]))
        self.assertEqual(shot[:2], (300, 200))
        self.assertEqual(pixel(shot, 280 - 150, 160 - 130), (255, 0, 0), "the arrow's shaft")
        self.assertNotEqual(pixel(shot, 280 - 150, 300 - 130), (255, 0, 0), "the undone arrow is gone")
        self.collector.wait_event("SelectRegion", "Use Undo", "")

    def test_escape_cancels_and_the_region_key_opens_the_editor_again(self):
        program = self.start(select_and_draw_mode=True)
        program.wait_log("HotkeysManager: poller started\n", timeout=10)
        press("d%d" % REGION_KEY, "s150", "u%d" % REGION_KEY)
        self.wait_opened("Open with Editor")
        drag(200, 200, 500, 400)
        xdo("mousemove", 350, 300)
        drag(250, 250, 400, 350)
        key("Escape")
        self.collector.wait_event("SelectRegion", "Cancel", "")
        time.sleep(0.5)
        press("d%d" % REGION_KEY, "s150", "u%d" % REGION_KEY)
        self.wait_opened("Open with Editor", count=2)
        key("Escape")
        wait_until(lambda: self.count("SelectRegion", "Cancel") >= 2, 20, what="the second cancel")
        self.assertEqual(self.files(), [])
        self.assertFalse(self.collector.find("Screenshot", "Finished", ""))

    def test_save_as_writes_the_chosen_png_and_remembers_its_folder(self):
        out = os.path.join(self.prefix.root, "drive_c", "out")
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)
        self.show_window(100, 80, 400, 300)
        self.start("-r", select_and_draw_mode=True, screenshot_file_type=1)
        self.wait_opened("Open with Editor")
        drag(150, 130, 450, 330)
        xdo("mousemove", 300, 230)
        time.sleep(0.3)
        drag(180, 160, 380, 160)
        key("ctrl", "s")
        wait_until(lambda: any(w["class"] == "#32770" for w in windows()), 30, interval=0.5, what="the save dialog")
        time.sleep(1.0)
        xdo("type", "--delay", "30", "C:\\out\\marked.png")
        time.sleep(0.3)
        key("Return")
        path = os.path.join(out, "marked.png")
        wait_until(lambda: os.path.exists(path) and os.path.getsize(path) > 0, 30, what="C:\\out\\marked.png")
        time.sleep(0.5)
        with open(path, "rb") as f:
            self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n", "a PNG despite the JPEG setting")
        shot = rgb_pixels(path)
        self.assertEqual(shot[:2], (300, 200))
        self.assertEqual(pixel(shot, 280 - 150, 160 - 130), (255, 0, 0), "annotated")
        self.assertEqual(self.files(), [], "nothing in the screenshots folder")
        self.collector.wait_event("SelectRegion", "Save to Disk", "")
        wait_until(lambda: read_settings(self.prefix).get("screenshots_last_save_path") == "C:\\out", 30,
                   interval=0.5, what="the last save folder in the settings")
