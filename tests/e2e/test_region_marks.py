"""Region editor scenarios around the marks: undo (one stroke per Ctrl+Z, nothing when
nothing is left, a Blur click that must not take the arrow before it), the right button
(a two-button start that survives its own right release, a right click that drops the
selection but keeps the marks, a right click with nothing selected that cancels) and how
editor mode is entered (by the setting, or once by holding the draw-mode key, Ctrl, as
the editor opens), with both panels where the editor places them and the Arrow tool
active. Each scenario drives the real program under Wine with the real pointer."""

import os
import subprocess
import time

from harness import BUILD, REPO, wait_until, wine, xdo
from test_region import (PEN, RED, REGION_KEY, RegionScenario, arrow_ops, dialog_windows, drag, key,
                         panel)
from test_screenshot import helper, image_size, pixel, press, rgb_pixels

TOOLS_PANEL = (285, 40)        # the panels' window sizes (their background bitmaps)
MANAGEMENT_PANEL = (40, 162)
ART = os.path.join(REPO, "resources", "editor")
# Points inside the test window at (100, 80), 400 x 300, away from its frame and from the
# quadrants' borders.
SPOTS = [(200, 150), (400, 300), (210, 157), (390, 291), (203, 161)]


def screen_rect():
    out = subprocess.run(["xdotool", "getdisplaygeometry"], capture_output=True, check=True, timeout=30).stdout
    width, height = (int(v) for v in out.split())
    return 0, 0, width, height


def touch(a, b):
    """Two rectangles (left, top, right, bottom) that overlap or share an edge."""
    return a[0] <= b[2] and b[0] <= a[2] and a[1] <= b[3] and b[1] <= a[3]


def expected_panels(selection, screen):
    """Where the two panels belong for the ordered selection on the screen: the tools
    panel below the selection and right-aligned with it, else above it, else inside its
    bottom-right corner; the management panel beside the selection's right edge and
    bottom-aligned, else left of it, else inside its right edge (lifted above the tools
    panel when that starts beside it), never above the screen, and moved off the tools
    panel when the two touch. Returns both window rectangles."""
    left, top, right, bottom = selection
    sl, st, sr, sb = screen
    tw, th = TOOLS_PANEL
    tx, ty = right - tw + 1, bottom + 10
    if ty + th > sb:
        ty = top - th - 10
        if ty < st:
            tx, ty = right - tw - 9, bottom - th - 10
    tx = max(tx, sl + 1)
    tools = (tx, ty, tx + tw, ty + th)
    mw, mh = MANAGEMENT_PANEL
    mx, my = right + 10, bottom - mh + 1
    if mx + mw > sr:
        mx = left - mw - 10
        if mx < sl + 1:
            mx = right - mw - 10
            if my < ty < my + mh:
                my = my - th - 14
    if my < st:
        my = st + 1
    if touch((mx, my, mx + mw, my + mh), tools):
        mx = tools[2] + 10
        if mx + mw > sr:
            mx = tools[0] - mw - 10
    return tools, (mx, my, mx + mw, my + mh)


def panels_hidden():
    sizes = [(w["rect"][2] - w["rect"][0], w["rect"][3] - w["rect"][1]) for w in dialog_windows()]
    return TOOLS_PANEL not in sizes and MANAGEMENT_PANEL not in sizes


class RegionMarksTest(RegionScenario):

    def arrow_then_right_click(self, what):
        """Draws an arrow inside the selection, waits for it on screen, then right-clicks
        the selection: waits until both panels are hidden."""
        drag(180, 160, 380, 160)
        self.wait_screen(lambda img: pixel(img, 280, 160) == RED, what)
        self.point_at(300, 250)
        xdo("click", 3)
        wait_until(panels_hidden, 15, interval=0.3, what="both panels hidden")

    def wait_frozen(self, before, opened, count=1):
        """Waits for the editor to open (its analytics event) and to show the frozen screen
        dimmed: a pixel of the test window, coloured in before, turns grey."""
        wait_until(lambda: self.count("SelectRegion", opened) >= count, 30, interval=0.2,
                   what="the editor to open (%s)" % opened)
        spot = next(p for p in SPOTS if len(set(pixel(before, *p))) > 1)
        return self.wait_screen(lambda img: len(set(pixel(img, *spot))) == 1, "the dimmed screen")

    def wait_screen(self, check, what, timeout=20):
        """Polls screenshots of the whole screen until check(image) holds; returns it."""
        return wait_until(lambda: (lambda img: img if check(img) else None)(self.root("screen.png")),
                          timeout, interval=0.2, what=what)

    def assert_panels(self, selection):
        """Both panels visible, topmost, where they belong for the selection; the Arrow
        button shows its active picture. Returns the tools panel's rectangle."""
        want_tools, want_management = expected_panels(selection, screen_rect())
        tools = panel(*TOOLS_PANEL)
        management = panel(*MANAGEMENT_PANEL)
        self.assertEqual((tuple(tools), tuple(management)), (want_tools, want_management),
                         "the panels for the selection %r" % (selection,))
        placed = [w for w in dialog_windows() if tuple(w["rect"]) in (want_tools, want_management)]
        self.assertEqual([w["topmost"] for w in placed], [True, True], "both panels topmost")
        # The button's picture covers the panel where it is opaque.
        active = opaque_pixels(os.path.join(ART, "arrow_active.png"))
        normal = opaque_pixels(os.path.join(ART, "arrow.png"))
        self.assertNotEqual(active, normal, "the Arrow button's active picture differs from its normal one")
        self.wait_screen(lambda img: all(pixel(img, tools[0] + 2 + x, tools[1] + y) == rgb
                                         for (x, y), rgb in active.items()), "the Arrow button's active picture")
        return tools

    def put_text_on_clipboard(self, text):
        subprocess.run(["xclip", "-selection", "clipboard"], input=text, check=True, timeout=30)
        wait_until(lambda: wine([helper("cliptext")], timeout=30).stdout == text, 10, interval=0.5,
                   what="the test's text on the clipboard")

    def reference(self, before_png, commands):
        """The screen before with marks drawn by the reference helper through graphin.dll."""
        source = os.path.join(self.tmp, "reference-in.bmp")
        out = os.path.join(self.tmp, "reference.bmp")
        subprocess.run(["convert", before_png, "-type", "TrueColor", "BMP3:" + source], check=True, timeout=60)
        proc = subprocess.Popen(["wine", helper("markref"), os.path.join(BUILD, "app", "graphin.dll"), source, out],
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        proc.stdout.readline()   # "cycursor N": no text here
        proc.communicate("\n".join(commands) + "\n", timeout=60)
        self.assertEqual(proc.returncode, 0, "the reference helper")
        return rgb_pixels(out)

    def wait_one_file(self):
        wait_until(lambda: len(self.files()) == 1, 30, what="one screenshot file")
        path = os.path.join(self.shots, self.files()[0])
        # Written whole when ImageMagick reads it to its end.
        return wait_until(lambda: rgb_or_none(path), 20, interval=0.3, what="a readable %s" % path)

    def test_undo_takes_one_stroke_back_and_nothing_when_nothing_is_left_and_a_blur_click_keeps_the_arrow(self):
        self.show_window(100, 80, 400, 300, textured=True)
        before = self.root("before.png")
        before_png = os.path.join(self.tmp, "before.png")
        self.start("-r", select_and_draw_mode=True)
        self.wait_frozen(before, "Open with Editor")
        selection = (150, 130, 450, 330)
        drag(*selection)
        self.pointer = selection[2:]
        self.assert_panels(selection)

        def crop_is_unmarked(img):
            # Inside the selection's frame and handles the screen shows the frozen picture
            # undimmed; the pen's dot at the pointer (the end of the last drag) is left out.
            px, py = self.pointer
            return all(pixel(img, x, y) == pixel(before, x, y) for y in range(135, 326, 3) for x in range(155, 446, 3)
                       if abs(x - px) > 8 or abs(y - py) > 8)

        # A stroke, then Ctrl+Z: the only stroke goes; Ctrl+Z again with nothing left
        # changes nothing.
        self.choose("pen")
        self.stroke(180, 310, 380, 310)
        self.wait_screen(lambda img: pixel(img, 280, 310) == RED, "the first stroke on the screen")
        key("ctrl", "z")
        self.wait_screen(crop_is_unmarked, "the first stroke undone")
        key("ctrl", "z")
        time.sleep(0.5)   # nothing happens: nothing left to undo
        self.assertTrue(crop_is_unmarked(self.root("screen.png")), "Ctrl+Z with nothing left changes nothing")

        # An arrow, then a Blur click without a drag: the arrow stays.
        self.choose("arrow")
        self.stroke(180, 160, 380, 160)
        self.choose("blur")
        xdo("mousemove", 300, 200)
        time.sleep(0.2)   # input: the pointer rests before the click
        xdo("click", 1)
        self.pointer = (300, 200)
        time.sleep(0.5)   # nothing happens: the click takes no arrow
        self.wait_screen(lambda img: pixel(img, 280, 160) == RED, "the arrow after the Blur click")

        # Three strokes, Ctrl+Z: the third goes, the first two and the arrow stay.
        self.choose("pen")
        for y in (230, 260, 290):
            self.stroke(180, y, 380, y)
        self.wait_screen(lambda img: pixel(img, 280, 290) == RED, "the third stroke on the screen")
        key("ctrl", "z")
        self.wait_screen(lambda img: (pixel(img, 280, 290) == pixel(before, 280, 290) and
                                      pixel(img, 280, 260) == RED and pixel(img, 280, 230) == RED and
                                      pixel(img, 280, 160) == RED), "the third stroke undone, the rest kept")
        key("ctrl", "c")
        shot = self.wait_one_file()
        self.assertEqual(shot[:2], (300, 200))

        # The result is the frozen crop with the arrow drawn by the reference helper;
        # around the two kept strokes (whose segments depend on which moves arrived) only
        # the drawing colour along their paths is checked. Everywhere else, the undone
        # strokes and the Blur click's spot included, every pixel is the reference's.
        reference = self.reference(before_png, arrow_ops(180, 160, 380, 160, PEN, RED))
        kept = [(175, y - 5, 385, y + 5) for y in (230, 260)]
        mismatches = []
        for y in range(200):
            for x in range(300):
                sx, sy = x + 150, y + 130
                if any(l <= sx <= r and t <= sy <= b for l, t, r, b in kept):
                    continue
                if pixel(shot, x, y) != pixel(reference, sx, sy):
                    mismatches.append((sx, sy, pixel(shot, x, y), pixel(reference, sx, sy)))
        self.assertEqual(mismatches[:10], [], "%d pixels differ from the reference" % len(mismatches))
        for y in (230, 260):
            for sx in range(185, 376, 5):
                for sy in range(y - 2, y + 3):
                    self.assertEqual(pixel(shot, sx - 150, sy - 130), RED, "a kept stroke at (%d, %d)" % (sx, sy))
        self.assertNotEqual(pixel(reference, 280, 160), pixel(before, 280, 160), "the reference has the arrow")
        self.assertEqual(self.count("SelectRegion", "Use Undo"), 1, "Use Undo once per editor")

    def stroke(self, x1, y1, x2, y2):
        drag(x1, y1, x2, y2, steps=8)
        self.pointer = (x2, y2)

    def test_right_button_start_survives_its_release_drops_a_selection_keeping_marks_and_cancels(self):
        self.show_window(100, 80, 400, 300)
        program = self.start(select_and_draw_mode=True, use_lr_mouse_for_regio_screenshot=True)
        program.wait_log("HotkeysManager: poller started\n", timeout=10)
        self.put_text_on_clipboard(b"kept text")
        before = self.root("before.png")

        # Both buttons start the editor; the right one is released while it is open, then
        # the left one: the editor stays and takes a selection.
        xdo("mousemove", 700, 600)
        press("d1", "d2")
        try:
            self.wait_frozen(before, "Open with Editor")
        finally:
            press("u2", "s100", "u1")
        program.wait_log("Hotkey: RegionScreenshotByMouse\n", timeout=10)
        time.sleep(0.5)   # nothing happens: the right release cancels nothing
        selection = (150, 130, 450, 330)
        drag(*selection)
        self.assert_panels(selection)
        self.assertEqual(self.count("SelectRegion", "Cancel"), 0, "the starting right release cancels nothing")

        # An arrow, then a right click inside the selection: the selection goes (the area
        # is dimmed again, the panels hide), the arrow stays.
        self.arrow_then_right_click("the arrow")
        self.wait_screen(lambda img: len(set(pixel(img, 200, 200))) == 1 and len(set(pixel(img, 400, 300))) == 1
                         and pixel(img, 280, 160) == RED, "the selection dropped, the arrow kept")

        # A right click with nothing selected cancels: no file, the clipboard keeps the
        # test's text, no "Finished"; the region key opens the editor again.
        xdo("click", 3)
        self.collector.wait_event("SelectRegion", "Cancel", "")
        self.wait_screen(lambda img: all(pixel(img, *p) == pixel(before, *p) for p in SPOTS), "the editor closed")
        self.assertEqual(self.files(), [])
        self.assertEqual(wine([helper("cliptext")], timeout=30).stdout, b"kept text", "the clipboard is untouched")
        self.assertIsNone(self.collector.find("Screenshot", "Finished", ""))

        press("d%d" % REGION_KEY, "s150", "u%d" % REGION_KEY)
        self.wait_frozen(before, "Open with Editor", count=2)
        drag(*selection)
        self.assert_panels(selection)
        self.arrow_then_right_click("the arrow in the second editor")
        # A new selection over nearly the whole screen (no room for the panels outside
        # it), then Ctrl+C: the arrow drawn before the drop is in the picture.
        _, _, width, height = screen_rect()
        whole = (5, 5, width - 5, height - 5)
        drag(*whole)
        self.assert_panels(whole)
        key("ctrl", "c")
        shot = self.wait_one_file()
        self.assertEqual(shot[:2], (width - 10, height - 10))
        self.assertEqual(pixel(shot, 280 - 5, 160 - 5), RED, "the arrow kept through the drop")
        for x, y in ((120, 100), (480, 360), (700, 600)):
            self.assertEqual(pixel(shot, x - 5, y - 5), pixel(before, x, y), (x, y))
        self.collector.wait_event("Screenshot", "Finished", "")
        self.assertEqual(self.count("SelectRegion", "Cancel"), 1)

    def test_ctrl_held_as_the_editor_opens_gives_marks_mode_once(self):
        self.show_window(100, 80, 400, 300)
        program = self.start(select_and_draw_mode=False)
        program.wait_log("HotkeysManager: poller started\n", timeout=10)
        before = self.root("before.png")
        _, _, width, height = screen_rect()

        # Ctrl held on the X keyboard: a key sent with SendInput alone is taken back by
        # Wine when the editor's window takes the focus (it reads X's keymap then).
        xdo("keydown", "ctrl")
        try:
            press("d%d" % REGION_KEY, "s150", "u%d" % REGION_KEY)
            self.wait_frozen(before, "Open with Editor")
            time.sleep(0.5)   # input: held across several of the draw-mode key's 100 ms polls
        finally:
            xdo("keyup", "ctrl")
        # Near the bottom-right corner: the tools panel goes above the selection, the
        # management panel left of it.
        selection = (width - 380, height - 174, width - 30, height - 24)
        drag(*selection)
        self.assert_panels(selection)
        self.collector.wait_event("SelectRegion", "Use Arrow", "")
        arrow = (selection[0] + 40, selection[1] + 60, selection[2] - 40, selection[1] + 60)
        drag(*arrow)
        self.wait_screen(lambda img: pixel(img, (arrow[0] + arrow[2]) // 2, arrow[1]) == RED, "the arrow")
        key("ctrl", "c")
        shot = self.wait_one_file()
        self.assertEqual(shot[:2], (350, 150))
        self.assertEqual(pixel(shot, (arrow[2] - arrow[0]) // 2 + 40, 60), RED, "the arrow in the picture")
        self.collector.wait_event("Screenshot", "Finished", "")
        for toggle in ("Activate Editor", "Deactivate Editor"):
            self.assertEqual(self.count("SelectRegion", toggle), 0, "the held key toggles nothing: " + toggle)

        # Without Ctrl the next region key opens the plain selection: the release accepts.
        # (Ctrl+C's release may reach X after the editor's window has gone, where Wine
        # does not see it: Ctrl is released once more as the poller sees keys.)
        press("u17")
        first = self.files()
        press("d%d" % REGION_KEY, "s150", "u%d" % REGION_KEY)
        self.wait_frozen(before, "Open without Editor")
        drag(150, 130, 400, 260)
        wait_until(lambda: len(self.files()) == 2, 30, what="the second screenshot file")
        path = os.path.join(self.shots, [f for f in self.files() if f not in first][0])
        plain = wait_until(lambda: rgb_or_none(path), 20, interval=0.3, what="a readable %s" % path)
        self.assertEqual(plain[:2], (250, 130))
        for x, y in ((10, 10), (130, 30), (240, 120)):
            self.assertEqual(pixel(plain, x, y), pixel(before, 150 + x, 130 + y), (x, y))
        self.assertEqual(self.count("SelectRegion", "Use Arrow"), 1, "no tool in the plain selection")


def opaque_pixels(path):
    """{(x, y): (r, g, b)} of a PNG's fully opaque pixels."""
    width, height = image_size(path)
    data = subprocess.run(["convert", path, "-depth", "8", "rgba:-"], capture_output=True, check=True,
                          timeout=60).stdout
    return {(i % width, i // width): tuple(data[4 * i:4 * i + 3])
            for i in range(width * height) if data[4 * i + 3] == 255}


def rgb_or_none(path):
    try:
        return rgb_pixels(path)
    except (subprocess.CalledProcessError, AssertionError, ValueError):
        return None
