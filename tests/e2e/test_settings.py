"""The settings window: the General page's controls, the hotkey capture dialog with real
keys, OK's folder check, the silent-mode switch, the help tooltip, reopening and
"Report a bug". Every change is read back from settings.json (after the autosave) and
its event from the local collector. Screenshots of the four tabs and the capture dialog
go to build/artifacts/settings-window/."""

import glob
import json
import os
import shutil
import subprocess
import time
import zipfile

from harness import BUILD, REPO, wait_until, wine, windows
from shell_support import post_messages, read_settings
from test_tray import TrayProgramTest

WM_CLOSE = 0x0010
WM_COMMAND = 0x0111
IDOK = 1
ID_TRAY_SETTINGS = 32775
ID_TRAY_SILENT_MODE = 32781
WININFO = os.path.join(BUILD, "tests", "wine", "wininfo.exe")
KEYPRESS = os.path.join(BUILD, "tests", "wine", "keypress.exe")
ARTIFACTS = os.path.join(REPO, "build", "artifacts", "settings-window")
CAPTION = "Brivane "
CAPTURE = "Hotkey configuration"
SM_CXPADDEDBORDER = 92


def wininfo(*args):
    return wine([WININFO] + [str(a) for a in args], timeout=30).stdout.decode("utf-8", "replace")


def controls(caption=CAPTION):
    return [json.loads(line) for line in wininfo("controls", caption).splitlines() if line.startswith("{")]


def by_id(listing):
    """The controls by id; where pages reuse an id, the visible one wins."""
    result = {}
    for c in listing:
        if c["id"] not in result or (c["visible"] and not result[c["id"]]["visible"]):
            result[c["id"]] = c
    return result


def control(id_, caption=CAPTION):
    return by_id(controls(caption)).get(id_)


def foreground():
    return json.loads(wininfo("foreground").strip() or "{}")


def keys(*steps):
    result = wine([KEYPRESS] + list(steps), timeout=30)
    assert result.returncode == 0, "keypress refused %r" % (steps,)


def click(id_, caption=CAPTION):
    assert wine([WININFO, "click", caption, str(id_)], timeout=30).returncode == 0, "click on %d" % id_


def click_at(x, y):
    wine([WININFO, "clickat", str(x), str(y)], timeout=30)


def visible(caption):
    return any(w["caption"].startswith(caption) and w["class"] == "#32770" for w in windows())


def windows_path(prefix, path):
    return "C:\\" + os.path.relpath(path, os.path.join(prefix.root, "drive_c")).replace("/", "\\")


def screenshot(name, caption):
    """The window named by `caption`, cut from the screen with ImageMagick."""
    os.makedirs(ARTIFACTS, exist_ok=True)
    left, top, right, bottom = (int(v) for v in wininfo("rect", caption).split())
    path = os.path.join(ARTIFACTS, name)
    subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (right - left, bottom - top, left, top),
                    "+repage", path], check=True, timeout=60)
    print("screenshot: %s" % os.path.relpath(path, REPO))
    return path


class SettingsWindowTest(TrayProgramTest):

    def report_a_bug(self, program):
        """ "Report a bug": the progress window, the event, the zip of the logs, no line in
        the old log file while packing, a new log file afterwards."""
        program.wait_log("TIMER_SERVER_SYNC:\n", timeout=20)
        old_logs = program.log_files()
        self.assertEqual(len(old_logs), 1)
        click(1068)
        self.collector.wait_event("Settings", "CreateLogsZip", "")
        wait_until(lambda: any(c["text"] == "Generating an error report..." for w in windows()
                               for c in w["children"]), 10, interval=0.3, what="the progress window")
        zips = wait_until(lambda: glob.glob(os.path.join(self.prefix.temp, "cvxlogs_*.zip")), 20, interval=0.3,
                          what="the support zip")
        wait_until(lambda: not any(c["text"] == "Generating an error report..." for w in windows()
                                   for c in w["children"]), 20, interval=0.3, what="the progress window to go")
        wait_until(lambda: len(program.log_files()) == 2, 10, interval=0.3, what="a new log file")
        with zipfile.ZipFile(zips[0]) as archive:
            packed = archive.read(os.path.basename(old_logs[0]))
            self.assertIn("settings.json", archive.namelist())
        with open(old_logs[0], "rb") as f:
            self.assertEqual(f.read(), packed, "no line reached the old log file after it was packed")

    def open_settings(self, **settings):
        program = self.start("-s", settings=settings)
        self.assertTrue(post_messages((WM_COMMAND, ID_TRAY_SETTINGS, 0)))
        wait_until(lambda: visible(CAPTION), 30, interval=0.3, what="the settings window")
        wait_until(lambda: foreground().get("caption", "").startswith(CAPTION), 10, interval=0.3,
                   what="the settings window in the foreground")
        return program

    def wait_setting(self, key, value, timeout=10):
        return wait_until(lambda: read_settings(self.prefix).get(key) == value, timeout, interval=0.3,
                          what="%s = %r in settings.json (%r)" % (key, value, read_settings(self.prefix).get(key)))

    def select_tab(self, index):
        """A real click on the first tab, then Right arrows: each sends TCN_SELCHANGE."""
        tab = control(1026)
        left, top = tab["rect"][0], tab["rect"][1]
        click_at(left + 20, top + 10)
        for _ in range(index):
            keys("d39", "u39", "s100")
        # The pointer leaves the tabs, so that none is drawn hot.
        wininfo("move", left + 5, top - 60)
        time.sleep(0.3)   # for the pictures only: no sign tells when the hot tab is drawn cold

    def visible_page(self):
        """The template controls that tell the pages apart: 1068 General, 1027 Save,
        1036 Editor, 1050 Video."""
        marks = {1068: 0, 1027: 1, 1036: 2, 1050: 3}
        shown = [marks[c["id"]] for c in controls() if c["id"] in marks and c["visible"]]
        return shown

    def test_general_page_controls_check_box_and_the_four_tabs(self):
        program = self.open_settings(storage_type=1, play_sound=True, capture_cursor=False)
        caption = [w["caption"] for w in windows() if w["caption"].startswith(CAPTION)][0]
        self.assertRegex(caption, r"^Brivane \d+\.\d+")
        listed = by_id(controls())
        expected = {1014: "Shift + PrtScr", 1015: "PrtScr", 1022: "LAlt + PrtScr", 1016: None, 1018: None,
                    1017: None, 1019: None, 1020: None, 1068: "Report a bug"}
        for id_, text in expected.items():
            self.assertIn(id_, listed)
            if text is not None:
                self.assertEqual(listed[id_]["text"], text, id_)
        self.assertEqual(listed[1016]["text"], "Show the cursor on the screenshot ")
        self.assertEqual(listed[1018]["check"], 1)
        self.assertEqual(listed[1016]["check"], 0)
        self.assertFalse(listed[1019]["visible"], "clipboard storage has no upload bit: no browser option")
        self.assertEqual(self.visible_page(), [0])
        screenshot("general.png", CAPTION)

        click(1018)
        self.wait_setting("play_sound", False)
        self.collector.wait_event("Settings", "Unset Play Sound", "")
        self.assertEqual(control(1018)["check"], 0)

        for index, name in ((1, "save"), (2, "editor"), (3, "video")):
            self.select_tab(index)
            wait_until(lambda: self.visible_page() == [index], 5, interval=0.3, what="tab %d" % index)
            screenshot("%s.png" % name, CAPTION)

    def test_hotkey_capture_with_real_keys(self):
        folder = os.path.join(self.prefix.temp, "shots")
        os.makedirs(folder)
        # Region on Ctrl+Alt+R, so that Shift+PrtScr holds no other hotkey.
        program = self.open_settings(storage_type=4, screenshots_path=windows_path(self.prefix, folder),
                                     hotkey_region_screenshot="17,18,82")
        click(1014)
        wait_until(lambda: visible(CAPTURE), 10, interval=0.3, what="the capture dialog")
        wait_until(lambda: foreground().get("caption") == CAPTURE, 10, interval=0.3,
                   what="the capture dialog in the foreground")
        program.wait_log("HotkeysManager::DisableHandlers", timeout=10)
        # The current full-screen hotkey is recorded, not taken.
        keys("d16", "d44", "s200", "u44", "u16", "s300")
        self.assertEqual(control(1001, CAPTURE)["text"], "Shift + PrtScr")
        keys("d46", "u46", "s200")
        self.assertEqual(control(1001, CAPTURE)["text"], "")
        keys("d17", "d16", "d83", "s300", "u83", "u16", "u17", "s300")
        self.assertEqual(control(1001, CAPTURE)["text"], "Ctrl + Shift + S")
        screenshot("capture-dialog.png", CAPTURE)
        keys("d13", "u13")
        wait_until(lambda: not visible(CAPTURE), 10, interval=0.3, what="the capture dialog to close")
        self.assertEqual(glob.glob(os.path.join(folder, "*")), [], "no shot while the dialog was open")
        self.assertEqual(control(1014)["text"], "Ctrl + Shift + S")
        self.wait_setting("hotkey_full_screenshot", "17,16,83")
        self.collector.wait_event("Settings", "Set Hotkey for Fullscreenshot", "Ctrl + Shift + S")
        program.wait_log("HotkeysManager::EnableHandlers", timeout=10)

        # The new hotkey takes a shot at once; the old one no longer does.
        keys("d17", "d16", "d83", "s300", "u83", "u16", "u17")
        wait_until(lambda: glob.glob(os.path.join(folder, "*")), 20, interval=0.5, what="a screenshot file")
        count = len(glob.glob(os.path.join(folder, "*")))
        keys("d16", "d44", "s300", "u44", "u16", "s2000")
        self.assertEqual(len(glob.glob(os.path.join(folder, "*"))), count, "Shift+PrtScr is no hotkey any more")

        # The full-screen combination for Region: refused with the message, nothing changes.
        wait_until(lambda: visible(CAPTION), 10, interval=0.3, what="the settings window")
        click(1015)
        wait_until(lambda: foreground().get("caption") == CAPTURE, 10, interval=0.3, what="the capture dialog")
        keys("d17", "d16", "d83", "s300", "u83", "u16", "u17", "s200", "d13", "u13")
        box = program.wait_message_box("Brivane")
        self.assertIn("The hotkey combination is already in use", [c["text"] for c in box["children"]])
        wait_until(lambda: foreground().get("caption") == "Brivane", 10, interval=0.3, what="the box in front")
        keys("d13", "u13")
        time.sleep(2.5)   # nothing happens: no setting and no event after the autosave
        settings = read_settings(self.prefix)
        self.assertEqual(settings.get("hotkey_full_screenshot"), "17,16,83")
        self.assertEqual(settings.get("hotkey_region_screenshot"), "17,18,82")
        self.assertIsNone(self.collector.find("Settings", "Set Hotkey for Region"))
        self.assertEqual(control(1015)["text"], "Ctrl + Alt + R")

        # Esc, and OK with nothing recorded, change and send nothing.
        for finish in (("d27", "u27"), ("d13", "u13")):
            click(1015)
            wait_until(lambda: foreground().get("caption") == CAPTURE, 10, interval=0.3, what="the capture dialog")
            if finish[0] == "d27":
                keys("d17", "d18", "d90", "s200", "u90", "u18", "u17")
            keys(*finish)
            wait_until(lambda: not visible(CAPTURE), 10, interval=0.3, what="the capture dialog to close")
        time.sleep(2.5)   # nothing happens: no setting and no event after the autosave
        self.assertEqual(read_settings(self.prefix).get("hotkey_region_screenshot"), "17,18,82")
        self.assertIsNone(self.collector.find("Settings", "Set Hotkey for Region"))

    def test_ok_checks_the_screenshots_folder(self):
        blocker = os.path.join(self.prefix.temp, "blocker")
        with open(blocker, "w") as f:
            f.write("a file, not a folder")
        target = os.path.join(blocker, "target")
        program = self.open_settings(storage_type=5, screenshots_path=windows_path(self.prefix, target))
        before = read_settings(self.prefix)

        def ok_refused(what):
            self.assertTrue(post_messages((WM_COMMAND, IDOK, 0)))
            box = program.wait_message_box("Warning")
            self.assertIn("Invalid directory to save screenshots", [c["text"] for c in box["children"]], what)
            # Enter on the box (the settings window is a dialog of the same process too).
            wait_until(lambda: foreground().get("caption") == "Warning", 10, interval=0.3, what="the box in front")
            keys("d13", "u13")
            wait_until(lambda: not any(w["caption"] == "Warning" for w in windows()), 10, interval=0.3,
                       what="the warning to close")
            self.assertTrue(visible(CAPTION), "the window stays: " + what)

        ok_refused("a folder under a file")
        # Now the path names an existing file.
        os.remove(blocker)
        os.makedirs(blocker)
        with open(target, "w") as f:
            f.write("a file named like the folder")
        ok_refused("a file of that name")
        self.assertEqual(read_settings(self.prefix).get("screenshots_path"), before.get("screenshots_path"))
        # A path that can be made: OK makes it and closes the window.
        os.remove(target)
        self.assertTrue(post_messages((WM_COMMAND, IDOK, 0)))
        wait_until(lambda: not visible(CAPTION), 10, interval=0.3, what="the window to hide")
        self.assertTrue(os.path.isdir(target))

    def test_silent_mode_switch_click_and_tooltip(self):
        program = self.open_settings(storage_type=6, silent_mode=False)
        place = control(1038)
        left, top = place["rect"][0], place["rect"][1]
        disabled = (1018, 1019, 1017, 1051, 1052)
        # Its left edge and the column just right of the 48-pixel picture do not toggle.
        click_at(left, top + 12)
        click_at(left + 48, top + 12)
        click_at(left + 24, top + 24)
        time.sleep(1.5)   # nothing happens: the switch stays off
        self.assertFalse(read_settings(self.prefix).get("silent_mode", False))
        self.assertIsNone(self.collector.find("Settings", "Set Game Mode"))

        click_at(left + 24, top + 12)
        self.wait_setting("silent_mode", True)
        self.collector.wait_event("Settings", "Set Game Mode", "")
        listed = by_id(controls())
        self.assertTrue(listed[1059]["visible"])
        self.assertFalse(listed[1060]["visible"])
        for id_ in disabled:
            self.assertFalse(listed[id_]["enabled"], id_)
        screenshot("general-silent.png", CAPTION)

        # The tray's Silent mode keeps the window in step.
        self.assertTrue(post_messages((WM_COMMAND, ID_TRAY_SILENT_MODE, 0)))
        self.wait_setting("silent_mode", False)
        listed = by_id(controls())
        self.assertTrue(listed[1060]["visible"])
        self.assertFalse(listed[1059]["visible"])
        for id_ in disabled:
            self.assertTrue(listed[id_]["enabled"], id_)

        # The help tooltip: shown while the cursor is over 1045, gone when it leaves.
        def tooltip_shown():
            return any(w["class"] == "tooltips_class32" for w in windows())
        help_rect = control(1045)["rect"]
        padding = 2 * int(wininfo("metric", SM_CXPADDEDBORDER).strip() or 0)
        x = (help_rect[0] + help_rect[2]) // 2 + padding
        y = (help_rect[1] + help_rect[3]) // 2 + padding
        wininfo("move", x, y)
        wait_until(tooltip_shown, 2.5, interval=0.2, what="the help tooltip")
        wininfo("move", x + 200, y + 200)
        wait_until(lambda: not tooltip_shown(), 2.5, interval=0.2, what="the tooltip to go")
        wininfo("move", x, y)
        wait_until(tooltip_shown, 2.5, interval=0.2, what="the help tooltip again")
        self.assertTrue(post_messages((WM_CLOSE, 0, 0)))
        wait_until(lambda: not tooltip_shown(), 2.5, interval=0.2, what="the tooltip to go with the window")

    def capture_hotkey(self, program, id_, presses, text):
        """A left click on hotkey edit id_ opens the capture dialog in the foreground with
        the handlers off; the key codes pressed (held together, then released) are recorded
        as text, and Enter applies them."""
        disabled = program.log_text().count("HotkeysManager::DisableHandlers")
        enabled = program.log_text().count("HotkeysManager::EnableHandlers")
        click(id_)
        wait_until(lambda: foreground().get("caption") == CAPTURE, 10, interval=0.3,
                   what="the capture dialog in the foreground")
        wait_until(lambda: program.log_text().count("HotkeysManager::DisableHandlers") > disabled, 10,
                   interval=0.3, what="the handlers to be disabled")
        keys(*(["d%d" % k for k in presses] + ["s300"] + ["u%d" % k for k in reversed(presses)] + ["s300"]))
        self.assertEqual(control(1001, CAPTURE)["text"], text)
        keys("d13", "u13")
        wait_until(lambda: not visible(CAPTURE), 10, interval=0.3, what="the capture dialog to close")
        wait_until(lambda: program.log_text().count("HotkeysManager::EnableHandlers") > enabled, 10,
                   interval=0.3, what="the handlers to be enabled again")

    def test_editor_and_video_hotkey_edits(self):
        program = self.open_settings(hotkey_draw_mode_activation="17,18", hotkey_video_recoding_activation="17,16,86")
        pages = (
            (2, 1036, "Ctrl + Alt", (17, 16, 69), "Ctrl + Shift + E", "hotkey_draw_mode_activation", "17,16,69",
             "Set Hotkey for Editor Activation"),
            (3, 1050, "Ctrl + Shift + V", (17, 16, 82), "Ctrl + Shift + R", "hotkey_video_recoding_activation",
             "17,16,82", "Set Hotkey for Video Recording"),
        )
        for tab, id_, stored, presses, text, key, value, action in pages:
            self.select_tab(tab)
            wait_until(lambda: self.visible_page() == [tab], 5, interval=0.3, what="tab %d" % tab)
            self.assertEqual(control(id_)["text"], stored, "edit %d shows the stored keys" % id_)
            self.capture_hotkey(program, id_, presses, text)
            self.assertEqual(control(id_)["text"], text)
            self.wait_setting(key, value)
            self.collector.wait_event("Settings", action, text)
            self.assertEqual(self.visible_page(), [tab], "the page stays after the capture")
        # Neither changed another slot.
        settings = read_settings(self.prefix)
        self.assertEqual(settings.get("hotkey_draw_mode_activation"), "17,16,69")
        self.assertEqual(settings.get("hotkey_full_screenshot", "16,44"), "16,44")

    def test_reopening_esc_enter_and_report_a_bug(self):
        folder = os.path.join(self.prefix.temp, "stored")
        os.makedirs(folder)
        program = self.open_settings(storage_type=6, screenshots_path=windows_path(self.prefix, folder),
                                     hotkey_draw_mode_activation="17,18", hotkey_video_recoding_activation="17,16,86")
        hotkeys = {1014: "Shift + PrtScr", 1015: "PrtScr", 1022: "LAlt + PrtScr", 1036: "Ctrl + Alt",
                   1050: "Ctrl + Shift + V"}
        stored = windows_path(self.prefix, folder)
        self.select_tab(1)
        # Typing into the folder field: the stored folder comes back.
        click(1001)
        keys("d65", "u65", "s300")
        self.assertEqual(control(1001)["text"], stored)
        # Enter on the Save page does nothing.
        keys("d13", "u13", "s500")
        self.assertTrue(visible(CAPTION))
        # Esc keeps the window.
        keys("d27", "u27", "s500")
        self.assertTrue(visible(CAPTION))
        self.select_tab(3)
        self.assertEqual(self.visible_page(), [3])
        # The five hotkey texts changed behind the program's back (1014 is also the Save
        # page's quality value, which keeps its number).
        general_1014 = [c["text"] for c in controls() if c["id"] == 1014].index(hotkeys[1014])
        for id_ in hotkeys:
            index = general_1014 if id_ == 1014 else 0
            self.assertEqual(wine([WININFO, "settext", CAPTION, str(id_), "stale", str(index)], timeout=30).returncode,
                             0, id_)
        listing = controls()
        self.assertEqual(sorted(c["text"] for c in listing if c["id"] == 1014), ["90", "stale"])
        for id_ in hotkeys:
            self.assertIn("stale", [c["text"] for c in listing if c["id"] == id_], id_)
        self.assertTrue(post_messages((WM_CLOSE, 0, 0)))
        wait_until(lambda: not visible(CAPTION), 10, interval=0.3, what="the window to hide")
        self.assertEqual(control(1001)["text"] if control(1001) else stored, stored)
        self.assertTrue(post_messages((WM_COMMAND, ID_TRAY_SETTINGS, 0)))
        wait_until(lambda: visible(CAPTION), 10, interval=0.3, what="the window again")
        self.assertEqual(self.visible_page(), [0], "every opening shows the General tab")
        listing = controls()
        self.assertEqual(control(1001)["text"], stored)
        self.assertEqual({id_: by_id(listing)[id_]["text"] for id_ in hotkeys}, hotkeys,
                         "every opening shows fresh hotkey texts")
        self.assertEqual(sorted(c["text"] for c in listing if c["id"] == 1014), ["90", "Shift + PrtScr"])
        # Enter on the General page is OK: the window hides.
        click(1016)
        keys("d13", "u13")
        wait_until(lambda: not visible(CAPTION), 10, interval=0.3, what="Enter to close the window")
        # Last, as its zip goes on to the upload: "Report a bug".
        self.assertTrue(post_messages((WM_COMMAND, ID_TRAY_SETTINGS, 0)))
        wait_until(lambda: visible(CAPTION), 10, interval=0.3, what="the window again")
        self.report_a_bug(program)
