"""Selecting a region as the user sees it: the live frame, handles and size label while
the button is held (every pixel of the screen checked), a click that selects nothing,
the editor opened by a "-r" handed to the running program over a screen that then
changes, and a save dialog cancelled before Enter uploads the marked picture."""

import json
import os
import shutil
import subprocess
import tempfile
import time
import unittest
import urllib.request

from harness import BUILD, REPO, SERVICE, close_helper, free_port, start_service, stop_service, wait_until, wine, xdo
from test_region import REGION_KEY, RED, RegionScenario, dialog_windows, drag, key, save_dialog
from test_screenshot import helper, pixel, press, rgb_pixels

BLACK, WHITE = (0, 0, 0), (255, 255, 255)
DASH = 8                 # the frame's segment length
LABEL_SIZE = 100         # the size label's font size, tenths of a point
LABEL_FACE = "Calibri"
# Screenshots of the held selection, for a person to look at.
ARTIFACTS = os.path.join(REPO, "build", "artifacts", "region-select")


def virtual_screen():
    """(left, top, width, height) of the virtual screen, as Windows reports it."""
    def metric(n):
        # Now and then a Wine process ends before it prints anything: ask again.
        out = wait_until(lambda: wine([helper("wininfo"), "metric", str(n)], timeout=30).stdout.split(), 30,
                         interval=0.5, what="wininfo metric %d" % n)
        return int(out[0])
    return metric(76), metric(77), metric(78), metric(79)


def top_windows():
    """Every visible top-level window: pid, class, caption, rect, topmost."""
    out = wine([helper("wininfo"), "rects"], timeout=30).stdout.decode("utf-8", "replace")
    return [json.loads(line) for line in out.splitlines() if line.startswith("{")]


def frame_pixels(x, y, width, height):
    """The colours that the drawing rules give the selection frame with its handles:
    four dashed 1-px lines (top, bottom, left, right), each from its first end in 8-px
    segments, black first, a line's last pixel not drawn; then on each corner and edge
    middle a 6x6 black handle inside a 1-px white outline one pixel larger all round.
    Later drawing wins."""
    pixels = {}

    def dashed(x1, y1, x2, y2):
        horizontal = y1 == y2
        for i in range((x2 - x1) if horizontal else (y2 - y1)):
            pixels[(x1 + i, y1) if horizontal else (x1, y1 + i)] = BLACK if (i // DASH) % 2 == 0 else WHITE

    dashed(x, y, x + width, y)
    dashed(x, y + height, x + width, y + height)
    dashed(x, y, x, y + height)
    dashed(x + width, y, x + width, y + height)
    mx, my = x + width // 2, y + height // 2
    for hx, hy in ((x, y), (mx, y), (x + width, y), (x + width, my), (x + width, y + height), (mx, y + height),
                   (x, y + height), (x, my)):
        for dx in range(-4, 4):
            for dy in range(-4, 4):
                pixels[hx + dx, hy + dy] = WHITE if dx in (-4, 3) or dy in (-4, 3) else BLACK
    return pixels


class Canvas:
    """An RGB picture to build an expected screen on."""

    def __init__(self, img):
        self.width, self.height, data = img
        self.data = bytearray(data)

    def put(self, x, y, rgb):
        if 0 <= x < self.width and 0 <= y < self.height:
            i = (y * self.width + x) * 3
            self.data[i:i + 3] = bytes(rgb)

    def copy(self, img, left, top, right, bottom):
        for y in range(top, bottom):
            i, j = (y * self.width + left) * 3, (y * self.width + right) * 3
            self.data[i:j] = img[2][i:j]

    def differences(self, img, limit=12):
        """The first pixels where img differs: (x, y, img's colour, expected colour)."""
        if img[:2] != (self.width, self.height):
            return [("size", img[:2], (self.width, self.height))]
        out = []
        row = self.width * 3
        for y in range(self.height):
            if img[2][y * row:(y + 1) * row] == self.data[y * row:(y + 1) * row]:
                continue
            for x in range(self.width):
                i = (y * self.width + x) * 3
                if img[2][i:i + 3] != self.data[i:i + 3]:
                    out.append((x, y, tuple(img[2][i:i + 3]), tuple(self.data[i:i + 3])))
                    if len(out) >= limit:
                        return out
        return out


class RegionSelectTest(RegionScenario):

    def wait_screen(self, name, check, what, timeout=15):
        """Takes screenshots until check(picture) is empty (a list of what is still wrong);
        fails with the last list after timeout."""
        last = []

        def ok():
            nonlocal last
            img = self.root(name)
            last = check(img)
            return img if not last else None
        try:
            return wait_until(ok, timeout, interval=0.2, what=what)
        except AssertionError as e:
            raise AssertionError("%s; still wrong: %r" % (e, last))

    def bmp(self, name, img):
        """img written as a 24-bit BMP (for the Windows helpers)."""
        raw = os.path.join(self.tmp, name + ".rgb")
        with open(raw, "wb") as f:
            f.write(img[2])
        path = os.path.join(self.tmp, name + ".bmp")
        subprocess.run(["convert", "-size", "%dx%d" % img[:2], "-depth", "8", "rgb:" + raw, "-type", "TrueColor",
                        "BMP3:" + path], check=True, timeout=60)
        return path

    def label(self, base, text, x, y):
        """The size label text drawn white on black at (x, y) by the reference helper
        in the label's face and size: (its rectangle, the picture)."""
        out = os.path.join(self.tmp, "label.bmp")
        proc = subprocess.run(["wine", helper("markref"), os.path.join(BUILD, "app", "graphin.dll"), base, out],
                              input="label %d %d %d %s|%s\n" % (x, y, LABEL_SIZE, LABEL_FACE, text),
                              capture_output=True, text=True, timeout=60)
        self.assertEqual(proc.returncode, 0, "the reference helper: %s" % proc.stderr)
        rect = [int(v) for line in proc.stdout.splitlines() if line.startswith("label ") for v in line.split()[1:]]
        self.assertEqual(len(rect), 4, proc.stdout)
        return rect, rgb_pixels(out)

    def expected_selection(self, dimmed, before, base, left, top, right, bottom):
        """The screen while the first drag holds (left, top)-(right, bottom): the dimmed
        screen, the selection undimmed, the frame and handles, and the label " WxH "
        20 px above the selection's top-left corner as the helper draws it."""
        width, height = right - left, bottom - top
        canvas = Canvas(dimmed)
        canvas.copy(before, left, top, right, bottom)
        for (x, y), rgb in frame_pixels(left, top, width, height).items():
            canvas.put(x, y, rgb)
        rect, drawn = self.label(base, " %dx%d " % (width, height), left, top - 20)
        self.assertEqual(rect[:2], [left, top - 20])
        self.assertTrue(rect[2] - rect[0] > 20 and rect[3] - rect[1] > 8, rect)
        box = [pixel(drawn, x, y) for y in range(rect[1], rect[3]) for x in range(rect[0], rect[2])]
        self.assertIn(WHITE, box, "the helper drew the text")
        self.assertGreater(box.count(BLACK), len(box) // 2, "on black")
        canvas.copy(drawn, rect[0], rect[1], rect[2], rect[3])
        return canvas, box

    def test_live_frame_handles_and_label_follow_the_held_button_and_a_tiny_click_selects_nothing(self):
        self.show_window(100, 80, 400, 300, textured=True)
        before = self.root("before.png")
        program = self.start("-r")
        self.wait_opened("Open without Editor")
        # The frozen screen, dimmed: grey inside the test window.
        dimmed = self.wait_screen("dimmed.png", lambda img: [] if len(set(pixel(img, 300, 200))) == 1 else ["grey"],
                                  "the dimmed screen")
        base = self.bmp("dimmed", dimmed)

        # A press held while the pointer moves 2 px shows a frame there; its release
        # leaves nothing selected, so the plain editor stays open.
        xdo("mousemove", 450, 340)
        time.sleep(0.1)   # input: the pointer rests before the press
        xdo("mousedown", 1)
        time.sleep(0.1)   # input: the press held before the move
        xdo("mousemove", 452, 342)
        self.wait_screen("tiny.png", lambda img: [] if pixel(img, 446, 336) == WHITE else ["no handle"],
                         "the 2-px selection's handle")
        xdo("mouseup", 1)
        plain = Canvas(dimmed)
        self.wait_screen("released.png", plain.differences, "the dimmed screen again after the 2-px click")
        time.sleep(1.0)   # nothing happens: no picture
        self.assertEqual(self.files(), [], "a 2-px click takes no picture")
        self.assertEqual(plain.differences(self.root("still.png")), [], "nothing selected")
        self.assertFalse(self.collector.find("Screenshot", "Finished", ""))

        # The first drag, held: at (350, 230) and then at (400, 260).
        stops = ((350, 230), (400, 260))
        expected = [self.expected_selection(dimmed, before, base, 150, 130, x, y) for x, y in stops]
        xdo("mousemove", 150, 130)
        time.sleep(0.1)   # input: the pointer rests before the press
        xdo("mousedown", 1)
        try:
            start = (150, 130)
            for i, (x, y) in enumerate(stops):
                for step in range(1, 6):
                    xdo("mousemove", start[0] + (x - start[0]) * step // 5, start[1] + (y - start[1]) * step // 5)
                    time.sleep(0.05)   # input: the pointer's pace
                start = (x, y)
                self.wait_screen("held%d.png" % i, expected[i][0].differences,
                                 "the selection to (%d, %d) with frame, handles and label" % (x, y))
        finally:
            xdo("mouseup", 1)
        labels = [label for _, label in expected]
        os.makedirs(ARTIFACTS, exist_ok=True)
        for i in range(len(stops)):
            shutil.copy(os.path.join(self.tmp, "held%d.png" % i), os.path.join(ARTIFACTS, "held-%dx%d.png" % (
                stops[i][0] - 150, stops[i][1] - 130)))
        self.assertNotEqual(labels[0], labels[1], "the label's text changed")

        # The release takes the 250x130 picture.
        shot = rgb_pixels(self.shot())
        self.assertEqual(shot[:2], (250, 130))
        self.collector.wait_event("Screenshot", "Finished", "")
        self.assertEqual(self.count("SelectRegion", "Open without Editor"), 1)
        program.wait_log("Screenshot saved: ")

    def test_region_start_handed_to_the_running_program_freezes_the_screen(self):
        window = self.show_window(100, 80, 400, 300, textured=True)
        program = self.start()
        program.wait_log("HotkeysManager: poller started\n", timeout=10)
        before = self.root("before.png")
        second = self.install(name="Brivane2")
        second.start("-r")
        self.assertEqual(second.wait_exit(timeout=30), 0, "the second start hands over and ends")
        self.collector.wait_event("Screenshot.Region", "Launch on Cmd", "Clipboard + Local")
        self.wait_opened("Open without Editor")

        # One window over the whole virtual screen, topmost, the program's only one.
        vx, vy, vw, vh = virtual_screen()
        full = [vx, vy, vx + vw, vy + vh]

        def editor():
            found = [w for w in top_windows() if w["rect"] == full]
            return found if len(found) == 1 and found[0]["topmost"] else None
        try:
            editor_window = wait_until(editor, 15, interval=0.5, what="one topmost window over the screen")[0]
        except AssertionError as e:
            raise AssertionError("%s: %r" % (e, top_windows()))
        own = [w for w in top_windows() if w["pid"] == editor_window["pid"]]
        self.assertEqual(len(own), 1, own)
        frozen = self.wait_screen("frozen.png", lambda img: [] if len(set(pixel(img, 300, 200))) == 1 else ["grey"],
                                  "the dimmed screen")

        # The test window goes away underneath: the frozen screen stays as it was.
        close_helper(window)
        wait_until(lambda: not [w for w in top_windows() if w["rect"] == [100, 80, 500, 380]], 15, interval=0.5,
                   what="the test window to close")
        time.sleep(0.5)   # nothing happens: the frozen screen stays
        unchanged = Canvas(frozen)
        for name in ("after1.png", "after2.png"):
            self.assertEqual(unchanged.differences(self.root(name)), [], "the frozen screen is unchanged")
            time.sleep(0.3)   # nothing happens: the frozen screen stays

        drag(150, 130, 400, 260)
        shot = rgb_pixels(self.shot())
        self.assertEqual(shot[:2], (250, 130))
        mismatches = [(x, y) for y in range(0, 130, 3) for x in range(0, 250, 3)
                      if pixel(shot, x, y) != pixel(before, 150 + x, 130 + y)]
        self.assertEqual(mismatches[:10], [], "the picture shows the test window as it was")
        self.collector.wait_event("Screenshot", "Finished", "")
        self.assertEqual(self.count("SelectRegion", "Open without Editor"), 1, "one editor")


@unittest.skipUnless(os.path.exists(SERVICE), "brivane-service is not built (native build missing)")
class RegionSaveCancelTest(RegionScenario):

    def setUp(self):
        super().setUp()
        self.data = tempfile.mkdtemp(prefix="region-service-")
        self.addCleanup(shutil.rmtree, self.data, True)
        self.base = "http://127.0.0.1:%d" % free_port()
        service = start_service(int(self.base.rsplit(":", 1)[1]), os.path.join(self.data, "d"), "--public-url",
                                self.base)
        self.addCleanup(stop_service, service)

    def clipboard_text(self):
        result = wine([helper("cliptext")], timeout=30)
        return result.stdout.decode("utf-8") if result.returncode == 0 else None

    def test_cancelled_save_dialog_returns_to_the_editor_and_enter_then_uploads(self):
        self.show_window(100, 80, 400, 300)
        program = self.start(select_and_draw_mode=True, screenshot_file_type=1, server_url=self.base,
                             site_url=self.base, link_host=self.base, open_screenshot_in_browser=False)
        program.wait_log("HotkeysManager: poller started\n", timeout=10)
        subprocess.run(["xclip", "-selection", "clipboard"], input=b"kept text", check=True, timeout=30)
        wait_until(lambda: self.clipboard_text() == "kept text", 10, interval=0.5,
                   what="the test's text on the clipboard")
        press("d%d" % REGION_KEY, "s150", "u%d" % REGION_KEY)
        self.wait_opened("Open with Editor")
        drag(150, 130, 450, 330)
        self.point_at(300, 230)
        drag(180, 160, 380, 160)   # an arrow (the Arrow tool is chosen by itself)

        dialog = self.open_save_dialog()
        cancel = [c for c in dialog["children"] if c["class"] == "Button" and c["text"] == "Cancel" and c["visible"]]
        self.assertEqual(len(cancel), 1, dialog["children"])
        l, t, r, b = cancel[0]["rect"]
        xdo("mousemove", (l + r) // 2, (t + b) // 2)
        xdo("click", 1)
        wait_until(lambda: not save_dialog(), 15, interval=0.5, what="the save dialog to close")

        # Back in the editor: both panels again, and the Arrow tool still draws.
        sizes = lambda: sorted((w["rect"][2] - w["rect"][0], w["rect"][3] - w["rect"][1]) for w in dialog_windows())
        wait_until(lambda: (40, 162) in sizes() and (285, 40) in sizes(), 15, interval=0.5,
                   what="both panels shown again")
        self.point_at(300, 250)
        drag(180, 300, 380, 300)
        self.assertEqual(self.files(), [], "nothing written by the cancelled dialog")

        key("Return")
        wait_until(lambda: len(self.files()) == 1, 30, what="one screenshot file")
        program.wait_log("CtavimorerfDlg::OnUploadFinished: ok", timeout=60)
        path = os.path.join(self.shots, self.files()[0])
        self.assertTrue(path.endswith(".jpg"), path)
        with open(path, "rb") as f:
            saved = f.read()
        self.assertEqual(saved[:3], b"\xff\xd8\xff", "a JPEG, as the image type says")
        shot = rgb_pixels(path)
        self.assertEqual(shot[:2], (300, 200))
        for y in (160, 300):   # both arrows' shafts, red within JPEG's error
            r, g, b = pixel(shot, 280 - 150, y - 130)
            self.assertTrue(r > 200 and g < 60 and b < 60, (y, (r, g, b)))

        # Action 0 is the upload: the link replaces the test's text on the clipboard, no
        # picture goes there, and the service holds exactly the saved file.
        link = self.clipboard_text()
        self.assertRegex(link or "", r"^%s/s[0-9A-Za-z]{10}$" % self.base)
        self.assertNotEqual(wine([helper("clipdib"), os.path.join(self.tmp, "clip.bmp")], timeout=30).returncode, 0,
                            "no picture on the clipboard")
        with urllib.request.urlopen(link + ".jpg", timeout=10) as response:
            self.assertEqual(response.read(), saved, "the upload is the saved file")
        self.collector.wait_event("Screenshot", "Finished", "")
        self.assertEqual(self.count("SelectRegion", "Save to Disk"), 1)
        self.assertEqual(self.count("SelectRegion", "Cancel"), 0)
        self.assertFalse(self.collector.find("SelectRegion", "Save to Clipboard", ""))
