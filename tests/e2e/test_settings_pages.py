"""The Save, Editor and Video pages of the settings window with real clicks and keys:
each change is read back from settings.json (after the autosave) and its event from the
local collector. The folder chooser is Wine's own dialog, driven with real keys. Under
Wine the system-sound source cannot be opened (no loopback), so turning "Record sound"
on shows the missing-source box."""

import os
import time

import test_settings as ts
from harness import wait_until, windows
from shell_support import read_settings
from test_tray import TrayProgramTest

CAPTION = ts.CAPTION
SAVE_TAB, EDITOR_TAB, VIDEO_TAB = 1, 2, 3
VK_RETURN, VK_ESCAPE, VK_DOWN, VK_UP, VK_END, VK_HOME = 13, 27, 40, 38, 35, 36


def save_control(id_):
    """1014 and 1020 are also General controls. The pages are placed on top of each other
    in the order General, Save, Editor, Video, so the listing (top first) names the Save
    page's control before the General page's."""
    found = [c for c in ts.controls() if c["id"] == id_]
    return found[0] if found else None


def choose_in_combo(id_, key):
    """Two real clicks drop the list down and close it again, leaving the focus on the
    closed combo box; an arrow key then moves its selection (CBN_SELCHANGE)."""
    ts.click(id_)
    wait_until(dropped_down, 10, interval=0.2, what="the list of combo box %d to drop down" % id_)
    ts.click(id_)
    wait_until(lambda: not dropped_down(), 10, interval=0.2, what="the list of combo box %d to close" % id_)
    press(key)


def dropped_down():
    return any(w["class"] == "ComboLBox" for w in windows())


def press(*vks):
    steps = []
    for vk in vks:
        steps += ["d%d" % vk, "u%d" % vk, "s150"]
    ts.keys(*steps)


class SettingsPagesTest(TrayProgramTest):
    open_settings = ts.SettingsWindowTest.open_settings
    wait_setting = ts.SettingsWindowTest.wait_setting
    select_tab = ts.SettingsWindowTest.select_tab
    visible_page = ts.SettingsWindowTest.visible_page

    def show_tab(self, index):
        self.select_tab(index)
        if index == 0:
            ts.keys("d37", "u37", "s100")   # Left: also when the click only focused the tabs
        wait_until(lambda: self.visible_page() == [index], 5, interval=0.3, what="tab %d" % index)

    def general_1019_visible(self):
        return ts.control(1019)["visible"]

    def test_save_page_destination_type_quality_and_folder(self):
        parent = os.path.join(self.prefix.temp, "pictures")
        first, second = os.path.join(parent, "a_shots"), os.path.join(parent, "b_shots")
        os.makedirs(first)
        os.makedirs(second)
        first_win = ts.windows_path(self.prefix, first)
        self.open_settings(storage_type=6, screenshots_path=first_win, screenshot_file_type=0, jpeg_quality=80)
        self.assertTrue(self.general_1019_visible())
        self.show_tab(SAVE_TAB)
        self.assertEqual(save_control(1005)["check"], 1)
        self.assertEqual(save_control(1020)["check"], 1)
        self.assertEqual(save_control(1001)["text"], first_win)
        for id_ in (1028, 1029):
            self.assertFalse(save_control(id_)["visible"], "PNG hides the quality controls")

        # Radio 1006: clipboard instead of upload; the General page hides its browser option
        # (seen on its own tab: a control of a hidden page is never visible).
        ts.click(1006)
        self.wait_setting("storage_type", 5)
        self.collector.wait_event("Settings", "Set Save Screenshot To Clipboard", "")
        self.show_tab(0)
        self.assertFalse(self.general_1019_visible())
        self.show_tab(SAVE_TAB)
        ts.click(1005)
        self.wait_setting("storage_type", 6)
        self.collector.wait_event("Settings", "Set Save Screenshot To Server", "")
        self.show_tab(0)
        self.assertTrue(self.general_1019_visible())
        self.show_tab(SAVE_TAB)

        # Combo 1027: JPEG shows the quality controls, PNG hides them again.
        choose_in_combo(1027, VK_DOWN)
        self.wait_setting("screenshot_file_type", 1)
        self.collector.wait_event("Settings", "Set image type to JPEG", "")
        for id_ in (1028, 1029, 1014):
            self.assertTrue(save_control(id_)["visible"], id_)
        self.assertEqual(save_control(1014)["text"], "80")
        ts.screenshot("save-jpeg.png", CAPTION)

        # The slider: End goes to 100, Home to 25; each position is stored.
        ts.click(1028)
        press(VK_END)
        self.wait_setting("jpeg_quality", 100)
        self.assertEqual(save_control(1014)["text"], "100")
        press(VK_HOME)
        self.wait_setting("jpeg_quality", 25)
        self.assertEqual(save_control(1028)["slider"], 25)

        choose_in_combo(1027, VK_UP)
        self.wait_setting("screenshot_file_type", 0)
        self.collector.wait_event("Settings", "Set image type to PNG", "")
        for id_ in (1028, 1029, 1014):
            self.assertFalse(save_control(id_)["visible"], id_)

        # Typing into the folder field changes nothing.
        ts.click(1001)
        ts.keys("d65", "u65", "s100", "d8", "u8", "d8", "u8", "s300")
        self.assertEqual(save_control(1001)["text"], first_win)

        # The folder chooser opens on the stored folder; Cancel changes nothing; Down to the
        # sibling folder and Enter stores it.
        for finish in ("cancel", "choose"):
            ts.click(1002)
            chooser = wait_until(lambda: [w for w in windows() if w["class"] == "#32770"
                                          and not w["caption"].startswith(CAPTION)], 15, interval=0.3,
                                 what="the folder chooser")[0]
            wait_until(lambda: ts.foreground().get("caption") == chooser["caption"], 10, interval=0.3,
                       what="the folder chooser in the foreground")
            texts = [c["text"] for c in chooser["children"]]
            self.assertIn("Select folder", texts)
            if finish == "cancel":
                ts.screenshot("folder-chooser.png", chooser["caption"])
                press(VK_ESCAPE)
            else:
                press(VK_DOWN, VK_RETURN)
            wait_until(lambda: ts.foreground().get("caption", "").startswith(CAPTION), 10, interval=0.3,
                       what="the settings window again")
            if finish == "cancel":
                time.sleep(2.5)   # nothing happens: the folder stays after the autosave
                self.assertEqual(read_settings(self.prefix).get("screenshots_path"), first_win)
        second_win = ts.windows_path(self.prefix, second)
        self.wait_setting("screenshots_path", second_win)
        self.assertEqual(save_control(1001)["text"], second_win)
        self.collector.wait_event("Settings", "Set Screenshot Save Path", "")

        # Enter on the Save page does nothing (elsewhere it would be the window's OK).
        ts.click(1001)
        press(VK_RETURN)
        time.sleep(1.0)   # nothing happens: the window stays
        self.assertTrue(ts.visible(CAPTION), "Enter on the Save page hid the window")
        self.assertEqual(self.visible_page(), [SAVE_TAB])

    def test_video_page(self):
        self.open_settings(video_storage_type=0, video_quality_level=0, capture_audio=False, capture_mic=False,
                           silent_mode=False)
        self.show_tab(VIDEO_TAB)
        self.assertEqual(ts.control(1056)["check"], 1)
        self.assertTrue(ts.control(1052)["enabled"])
        self.assertFalse(ts.control(1054)["enabled"])

        ts.click(1057)
        self.wait_setting("video_storage_type", 1)
        self.collector.wait_event("Settings", "Set Save Video To Disk", "")
        self.assertTrue(ts.control(1054)["enabled"])
        self.assertTrue(ts.control(1055)["enabled"])
        self.assertFalse(ts.control(1052)["enabled"])
        ts.screenshot("video-local.png", CAPTION)

        choose_in_combo(1079, VK_DOWN)
        self.wait_setting("video_quality_level", 1)
        self.collector.wait_event("Settings", "Set Video Quality to Medium - up to 720p", "")

        # No loopback source under Wine: the box, and the option stays on.
        ts.click(1062)
        box = wait_until(lambda: [w for w in windows() if w["class"] == "#32770" and w["caption"] == ""], 30,
                         interval=0.3, what="the missing-source box")[0]
        self.assertIn("Sound source not found.", [c["text"] for c in box["children"]])
        self.collector.wait_event("Settings", "Set Video Record Sound", "")
        self.collector.wait_event("Settings", "Show No Sound Warning", "")
        wait_until(lambda: ts.foreground().get("caption") == "", 10, interval=0.3, what="the box in the foreground")
        press(VK_RETURN)
        wait_until(lambda: not [w for w in windows() if w["class"] == "#32770" and w["caption"] == ""], 10,
                   interval=0.3, what="the box to close")
        self.wait_setting("capture_audio", True)
        self.assertEqual(ts.control(1062)["check"], 1)
        # Turning it off runs the test again and shows nothing.
        ts.click(1062)
        self.wait_setting("capture_audio", False)
        self.collector.wait_event("Settings", "Unset Video Record Sound", "")
        time.sleep(1.5)   # nothing happens: no box
        self.assertFalse([w for w in windows() if w["class"] == "#32770" and w["caption"] == ""])
        self.assertIsNone(self.collector.find("Settings", "Show Sound Quality Warning"))

        # The test's PulseAudio server gives a microphone: turning it on shows nothing.
        if os.environ.get("BRIVANE_PULSE") == "1":
            ts.click(1063)
            self.wait_setting("capture_mic", True)
            self.collector.wait_event("Settings", "Set Video Record Microphone", "")
            time.sleep(1.5)   # nothing happens: no box
            self.assertFalse([w for w in windows() if w["class"] == "#32770" and w["caption"] == ""])
            self.assertIsNone(self.collector.find("Settings", "Show No Mic Warning"))
