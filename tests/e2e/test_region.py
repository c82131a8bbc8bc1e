"""Region screenshots: the region key or "-r" freezes and dims the screen, a drag with
the real pointer (xdotool) selects, and the editor's marks, undo, Enter and Escape decide
what is written. Files, the clipboard (read by another process) and the analytics events
are checked."""

import json
import math
import os
import shutil
import subprocess
import tempfile
import time

from harness import (BUILD, ProgramTest, badge_shown, button_shown, screen_pixels, wait_pixels, wait_until,
                     wait_written, windows, wine, xdo)
from harness import drag as pointer_drag
from shell_support import Collector, read_settings, wait_main_window, write_settings
from test_screenshot import helper, image_size, pixel, press, rgb_pixels, wait_balloon

REGION_KEY = 44   # PrintScreen


def drag(x1, y1, x2, y2, steps=6):
    """A drag that the editor has taken in when it returns."""
    pointer_drag(x1, y1, x2, y2, steps, settle=0.3)


def key(*names):
    """Holds the keys long enough for the editor's 10 ms key poll, then releases them."""
    xdo("keydown", "+".join(names))
    time.sleep(0.15)   # input: held across the poll
    xdo("keyup", "+".join(names))


RED = (255, 0, 0)
DIM_SPOT = (200, 150)   # a point of the test window at (100, 80), 400 x 300
PEN = 6            # the editor's pen width when it opens
TEXT_SIZE = 140    # the text size (tenths of a point) when it opens
TOOLS = {"arrow": 21, "pen": 62, "rectangle": 102, "text": 142, "blur": 182}   # x of each tool's button


def round3(v):
    return math.floor(v * 1000 + 0.5) / 1000


def arrow_ops(x1, y1, x2, y2, w, rgb):
    """The arrow's graphin calls, computed here from the arrow's geometry: a head 3w long
    and 3w wide at the tip, the shaft ending w/3.8 short of the head's base."""
    dx, dy = x2 - x1, y2 - y1
    length = math.hypot(dx, dy)
    if length == 0:
        return []
    head, half = 3 * w, 1.5 * w
    a = math.acos(dx / length)
    theta = a - 1.570796325 if dy > 0 else -1.570796325 - a
    c, s = round3(math.cos(theta)), round3(math.sin(theta))

    def at(px, py):
        return x2 + round3(px * c - py * s), y2 + round3(px * s + py * c)

    tri = [at(-half, -head), (x2, y2), at(half, -head)]
    base = at(0, -head)
    d = math.hypot(base[0] - x1, base[1] - y1)
    end = (x1 + (base[0] - x1) * (d - w / 3.8) / d, y1 + (base[1] - y1) * (d - w / 3.8) / d)
    margin = w // 2 + math.ceil(half)
    ox, oy = min(x1, x2) - margin, min(y1, y2) - margin
    r, g, b = rgb
    return ["create %d %d" % (abs(dx) + 2 * (w // 2) + 3 * w, abs(dy) + 2 * (w // 2) + 3 * w),
            "width %r" % float(w), "linecolor %d %d %d 0" % rgb,
            "line %r %r %r %r" % (x1 - ox, y1 - oy, end[0] - ox, end[1] - oy),
            "width %r" % float(w), "linecolor %d %d %d 255" % rgb, "fillcolor %d %d %d 0" % rgb,
            "triangle " + " ".join("%r %r" % (px - ox, py - oy) for px, py in tri),
            "linecolor 0 0 0 0", "blit %d %d %d %d" % (ox, oy, abs(dx) + 2 * (w // 2) + 3 * w,
                                                       abs(dy) + 2 * (w // 2) + 3 * w)]


def line_ops(x1, y1, x2, y2, w, rgb):
    half = w // 2
    left, top = min(x1, x2) - half, min(y1, y2) - half
    right, bottom = max(x1, x2) + half, max(y1, y2) + half
    return ["create %d %d" % (right - left, bottom - top), "width %r" % float(w), "linecolor %d %d %d 0" % rgb,
            "line %d %d %d %d" % (x1 - left, y1 - top, x2 - left, y2 - top),
            "blit %d %d %d %d" % (left, top, right - left, bottom - top)]


def rect_ops(left, top, right, bottom, w, rgb):
    return (line_ops(left, top, left, bottom, w, rgb) + line_ops(left, top, right, top, w, rgb) +
            line_ops(left, bottom, right, bottom, w, rgb) + line_ops(right, top, right, bottom, w, rgb))


def pixelated(img, area):
    """The blur picture's pixels inside area (left, top, right, bottom): the whole screen
    averaged in blocks of 8, then 4, then 2, rows counted from the bottom, blocks starting
    at b/2 and never reaching the last column or row. Only the blocks near the area are
    worked out."""
    width, height, data = img
    left, top, right, bottom = area
    # Buffer rows (bottom-up) and columns around the area that can feed it.
    x0, x1 = max(0, left - 16), min(width, right + 16)
    r0, r1 = max(0, height - bottom - 16), min(height, height - top + 16)
    buf = {}
    for r in range(r0, r1):
        y = height - 1 - r
        for x in range(x0, x1):
            i = (y * width + x) * 3
            buf[x, r] = [data[i], data[i + 1], data[i + 2]]
    for b in (8, 4, 2):
        for bx in range(b // 2, width - b, b):
            if bx < x0 or bx + b > x1:
                continue
            for br in range(b // 2, height - b, b):
                if br < r0 or br + b > r1:
                    continue
                cells = [(x, r) for x in range(bx, bx + b) for r in range(br, br + b)]
                avg = [sum(buf[c][k] for c in cells) // (b * b) for k in range(3)]
                for c in cells:
                    buf[c] = list(avg)
    return {(x, height - 1 - r): tuple(v) for (x, r), v in buf.items()
            if left <= x < right and top <= height - 1 - r < bottom}


def dialog_windows():
    """The visible dialogs (class #32770) with their screen rectangle and children."""
    out = wine([helper("winrects")], timeout=30).stdout.decode("utf-8", "replace")
    return [json.loads(line) for line in out.splitlines() if line.startswith("{\"caption\"")]


def save_dialog():
    """The open save dialog with the JPEG filter chosen, or None."""
    for w in dialog_windows():
        if any(c["class"] == "ComboBox" and c["text"].startswith("Jpeg Files") for c in w["children"]):
            return w
    return None


def text_box():
    """The editor's open text box (a dialog holding one Edit), or None."""
    for w in dialog_windows():
        if [c["class"] for c in w["children"]] == ["Edit"]:
            return w
    return None


def foreground_texts():
    """The texts of the foreground window's controls (an edit's own text included)."""
    out = wine([helper("wininfo"), "controls", "fg"], timeout=30).stdout.decode("utf-8", "replace")
    return [json.loads(line)["text"] for line in out.splitlines() if line.startswith("{")]


def panel(width, height):
    """The screen rectangle of the visible editor panel of that size."""
    def find():
        for w in dialog_windows():
            l, t, r, b = w["rect"]
            if (r - l, b - t) == (width, height):
                return w["rect"]
        return None
    return wait_until(find, 15, interval=0.3, what="the %dx%d panel" % (width, height))


def grey_then_darker(rgb):
    """The dimmed colour of a pixel: grey by the image library's weights, then 46 darker."""
    r, g, b = rgb
    grey = (r * 299 + g * 587 + b * 114) // 1000   # approximately the library's grey
    return max(0, grey - 46)


class RegionScenario(ProgramTest):
    """The region settings, a local analytics collector and the screenshots folder; the
    scenarios of the region editor build on it."""

    def setUp(self):
        super().setUp()
        self.collector = Collector()
        self.addCleanup(self.collector.close)
        self.shots = os.path.join(self.prefix.root, "drive_c", "shots")
        shutil.rmtree(self.shots, ignore_errors=True)
        self.tmp = tempfile.mkdtemp(prefix="region-")
        self.addCleanup(shutil.rmtree, self.tmp, True)

    def show_window(self, x, y, width, height, textured=False):
        return super().show_window(x, y, width, height, seconds=90, textured=textured)

    def start(self, *args, program=None, **settings):
        """Starts the program (or the given installed build) with the region settings."""
        program = program or self.install()
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

    def choose(self, tool):
        left, top, _, bottom = panel(285, 40)
        xdo("mousemove", left + TOOLS[tool], (top + bottom) // 2)
        button = left + (TOOLS[tool] - 2) // 40 * 40 + 2   # the button's left edge
        button_shown("editor/" + tool, "hover", button, top)
        xdo("click", 1)
        button_shown("editor/" + tool, "active", button, top)

    def point_at(self, x, y):
        """Moves the pointer into the selection and waits until the drawing tool's dot shows
        there: the editor draws with the pointer."""
        xdo("mousemove", x, y)
        wait_pixels({(x, y): RED}, 15, "the drawing tool's dot at the pointer (%d, %d)" % (x, y))

    def shot(self):
        """The one screenshot file, once written whole."""
        wait_until(lambda: len(self.files()) == 1, 30, what="one screenshot file")
        return wait_written(os.path.join(self.shots, self.files()[0]))

    def open_save_dialog(self):
        """Ctrl+S; waits for the save dialog with "Jpeg Files" chosen, checks it stands
        topmost at (4, 4) and returns it (wininfo's record)."""
        key("ctrl", "s")
        try:
            dialog = wait_until(save_dialog, 30, interval=0.5, what="the save dialog with the JPEG filter chosen")
        except AssertionError as e:
            raise AssertionError("%s; dialogs: %r" % (e, dialog_windows()))
        self.assertEqual(dialog["rect"][:2], [4, 4])
        self.assertTrue(dialog["topmost"])
        return dialog

    def save_as(self, path):
        """The save dialog, the file name typed into it and Enter."""
        dialog = self.open_save_dialog()
        wait_until(lambda: dialog["caption"] in wine([helper("wininfo"), "foreground"], timeout=30).stdout.decode(
            "utf-8", "replace"), 15, interval=0.3, what="the save dialog in the foreground")
        xdo("type", "--delay", "30", path)
        wait_until(lambda: path in foreground_texts(), 15, interval=0.3,
                   what="%r in the save dialog's name field" % path)
        key("Return")

    def wait_opened(self, action, count=1):
        wait_until(lambda: self.count("SelectRegion", action) >= count, 30, interval=0.2,
                   what="the editor to open (%s)" % action)
        # Shown and painted: the editor's badge beside the pointer, or without the editor
        # the test window's spot dimmed grey.
        if action == "Open with Editor":
            xdo("mousemove", 60, 60)
            badge_shown("editor_badge", 60, 60)
        else:
            wait_until(lambda: len(set(screen_pixels([DIM_SPOT])[DIM_SPOT])) == 1, 30, interval=0.1,
                       what="the dimmed screen at %r" % (DIM_SPOT,))

    def editor_closed(self):
        """Waits until the editor's window (over the whole screen) is gone."""
        wait_until(lambda: not [w for w in dialog_windows() if w["rect"][:2] == [0, 0] and w["rect"][2] >= 640
                                and w["rect"][3] >= 480], 15, interval=0.3, what="the editor to close")


class RegionTest(RegionScenario):

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
        path = self.shot()
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
        self.point_at(300, 230)
        drag(180, 160, 380, 160)   # an arrow (the Arrow tool is chosen by itself)
        drag(180, 300, 380, 300)   # a second arrow, undone below
        key("ctrl", "z")
        wait_until(lambda: screen_pixels([(280, 300)])[280, 300] != RED, 15, interval=0.1,
                   what="the second arrow undone on the screen")
        arrow = self.root("arrow.png")
        self.assertEqual(pixel(arrow, 280, 160), (255, 0, 0), "the first arrow is drawn")
        key("Return")
        shot = rgb_pixels(self.shot())
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
        self.editor_closed()
        press("d%d" % REGION_KEY, "s150", "u%d" % REGION_KEY)
        self.wait_opened("Open with Editor", count=2)
        key("Escape")
        wait_until(lambda: self.count("SelectRegion", "Cancel") >= 2, 20, what="the second cancel")
        self.assertEqual(self.files(), [])
        self.assertFalse(self.collector.find("Screenshot", "Finished", ""))

    def test_marks_equal_the_reference_on_file_and_clipboard(self):
        self.show_window(100, 80, 400, 300, textured=True)
        before = self.root("before.png")
        self.start("-r", select_and_draw_mode=True)
        self.wait_opened("Open with Editor")
        drag(150, 130, 450, 330)
        self.point_at(300, 230)
        drag(170, 160, 280, 190)    # the Arrow tool is chosen by itself
        self.choose("rectangle")
        drag(320, 150, 420, 200)
        self.choose("pen")
        drag(170, 260, 280, 260, steps=8)
        self.choose("blur")
        drag(320, 230, 420, 310)
        self.choose("text")
        xdo("mousemove", 200, 290)
        xdo("click", 1)
        wait_until(lambda: text_box() is not None, 15, interval=0.3, what="the text box")
        xdo("type", "--delay", "60", "Hi")
        wait_until(lambda: "Hi" in foreground_texts(), 15, interval=0.3, what="\"Hi\" in the text box")
        left, top, right, _ = panel(40, 162)
        xdo("mousemove", (left + right) // 2, top + 62)
        button_shown("editor/copy", "hover", left, top + 42)
        xdo("click", 1)   # copy: commits the text first
        shot = rgb_pixels(self.shot())
        self.assertEqual(shot[:2], (300, 200))

        # The reference: the screen before, with the arrow, the rectangle and the text
        # drawn by a helper (graphin.dll, GDI) and the blur worked out here.
        source = os.path.join(self.tmp, "before.bmp")
        subprocess.run(["convert", os.path.join(self.tmp, "before.png"), "-type", "TrueColor", "BMP3:" + source],
                       check=True, timeout=60)
        reference_bmp = os.path.join(self.tmp, "reference.bmp")
        commands = arrow_ops(170, 160, 280, 190, PEN, RED) + rect_ops(320, 150, 420, 200, PEN, RED)
        proc = subprocess.Popen(["wine", helper("markref"), os.path.join(BUILD, "app", "graphin.dll"), source,
                                 reference_bmp], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        cycursor = int(proc.stdout.readline().split()[1])
        commands.append("text %d %d %d 255 0 0 Calibri|Hi" % (200 + 9, 290 - cycursor // 2 + 8, TEXT_SIZE))
        proc.communicate("\n".join(commands) + "\n", timeout=60)
        self.assertEqual(proc.returncode, 0, "the reference helper")
        reference = rgb_pixels(reference_bmp)
        blur = pixelated(before, (321, 231, 321 + 98, 231 + 78))

        pencil = (165, 255, 285, 265)   # the pencil's path (y 260) and half its width + 1 around it
        mismatches = []
        for y in range(200):
            for x in range(300):
                sx, sy = x + 150, y + 130
                if pencil[0] <= sx <= pencil[2] and pencil[1] <= sy <= pencil[3]:
                    continue
                want = blur.get((sx, sy)) or pixel(reference, sx, sy)
                if pixel(shot, x, y) != want:
                    mismatches.append((sx, sy, pixel(shot, x, y), want))
        self.assertEqual(mismatches[:10], [], "%d pixels differ from the reference" % len(mismatches))
        for sx in range(175, 276, 5):
            for sy in range(258, 263):
                self.assertEqual(pixel(shot, sx - 150, sy - 130), RED, "the pencil at (%d, %d)" % (sx, sy))
        self.assertTrue(any(pixel(reference, x, y) != pixel(before, x, y)
                            for x in range(209, 240) for y in range(282, 310)), "the reference has the text")
        bmp = os.path.join(self.tmp, "clip.bmp")
        wait_until(lambda: wine([helper("clipdib"), bmp], timeout=30).returncode == 0, 10, interval=0.5,
                   what="a picture on the clipboard")
        self.assertEqual(rgb_pixels(bmp)[2], shot[2], "the clipboard holds the saved picture")
        for action in ("Use Arrow", "Use Rectangle", "Use Pencil", "Use Blur", "Use Text", "Save to Clipboard"):
            self.assertEqual(self.count("SelectRegion", action), 1, action)

    def test_save_as_unwritable_path_fails_cleanly_then_a_png_is_written_and_its_folder_kept(self):
        out = os.path.join(self.prefix.root, "drive_c", "out")
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)
        self.show_window(100, 80, 400, 300)
        program = self.start(select_and_draw_mode=True, screenshot_file_type=1)
        program.wait_log("HotkeysManager: poller started\n", timeout=10)
        subprocess.run(["xclip", "-selection", "clipboard"], input=b"kept text", check=True, timeout=30)
        wait_until(lambda: b"kept text" in wine([helper("cliptext")], timeout=30).stdout, 10, interval=0.5,
                   what="the test's text on the clipboard")
        for round, path in enumerate(("Z:\\sys\\marked.png", "C:\\out\\marked.png"), 1):
            press("d%d" % REGION_KEY, "s150", "u%d" % REGION_KEY)
            self.wait_opened("Open with Editor", count=round)
            drag(150, 130, 450, 330)
            self.point_at(300, 230)
            drag(180, 160, 380, 160)
            self.save_as(path)
            if round == 1:
                # /sys takes no file: a failed shot, told by the balloon; nothing else changes.
                self.collector.wait_event("Screenshot", "Failed", "")
                wait_balloon()
                self.assertFalse(self.collector.find("Screenshot", "Finished", ""))
                self.assertIsNone(program.proc.poll(), "the program lives")
                self.assertEqual(wine([helper("cliptext")], timeout=30).stdout, b"kept text",
                                 "the clipboard is untouched")
        saved = os.path.join(out, "marked.png")
        wait_until(lambda: os.path.exists(saved) and os.path.getsize(saved) > 0, 30, what="C:\\out\\marked.png")
        wait_written(saved)
        with open(saved, "rb") as f:
            self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n", "a PNG despite the JPEG setting")
        shot = rgb_pixels(saved)
        self.assertEqual(shot[:2], (300, 200))
        self.assertEqual(pixel(shot, 280 - 150, 160 - 130), RED, "annotated")
        self.assertEqual(self.files(), [], "nothing in the screenshots folder")
        self.collector.wait_event("SelectRegion", "Save to Disk", "")
        wait_until(lambda: read_settings(self.prefix).get("screenshots_last_save_path") == "C:\\out", 30,
                   interval=0.5, what="the last save folder in the settings")

    def test_failing_result_step_in_a_test_build_then_a_good_shot_to_the_clipboard_only(self):
        seam = os.path.join(BUILD, "tests", "wine", "seam", "brivane.exe")
        program = self.install(exe=seam, env={"BRIVANE_TEST_FAIL_RESULTS": "1"})
        self.show_window(100, 80, 400, 300)
        self.start(program=program, storage_type=1)
        program.wait_log("HotkeysManager: poller started\n", timeout=10)
        press("d%d" % REGION_KEY, "s150", "u%d" % REGION_KEY)
        self.wait_opened("Open without Editor")
        drag(150, 130, 400, 260)
        self.collector.wait_event("Screenshot", "Failed", "")
        wait_balloon()
        program.wait_log("CSelectRegionDlg::GetImage()")
        self.assertIsNone(program.proc.poll(), "the program lives")
        self.assertFalse(self.collector.find("Screenshot", "Finished", ""))
        before = self.root("before.png")
        press("d%d" % REGION_KEY, "s150", "u%d" % REGION_KEY)
        self.wait_opened("Open without Editor", count=2)
        drag(150, 130, 400, 260)
        self.collector.wait_event("Screenshot", "Finished", "")
        bmp = os.path.join(self.tmp, "clip.bmp")
        wait_until(lambda: wine([helper("clipdib"), bmp], timeout=30).returncode == 0, 10, interval=0.5,
                   what="a picture on the clipboard")
        clip = rgb_pixels(bmp)
        self.assertEqual(clip[:2], (250, 130))
        for y in range(0, 130, 9):
            for x in range(0, 250, 13):
                self.assertEqual(pixel(clip, x, y), pixel(before, 150 + x, 130 + y), (x, y))
        self.assertEqual(self.files(), [], "storage 1: the clipboard only")
