"""The main dialog as the settings window and as the receiver of a second start."""

import time

from harness import wait_until, windows
from shell_support import post_messages
from test_tray import TrayProgramTest

WM_CLOSE = 0x0010
WM_COMMAND = 0x0111
IDCANCEL = 2
WM_APP_SHOW_SETTINGS = 0x408
WM_APP_HIDE_SETTINGS = 0x407


def settings_window_visible():
    return any(w["caption"].startswith("Brivane ") and w["class"] == "#32770" for w in windows())


class MainDialogTest(TrayProgramTest):

    def test_second_start_shows_the_settings_window_and_exits(self):
        self.start("-s")
        self.assertFalse(settings_window_visible())
        second = self.install(name="Brivane2")
        second.start()
        self.assertEqual(second.wait_exit(timeout=30), 0)
        wait_until(settings_window_visible, 20, interval=0.5, what="the settings window")

    def test_second_start_with_quit_ends_the_first(self):
        program = self.start("-s")
        second = self.install(name="Brivane2")
        second.start("-u")
        second.wait_exit(timeout=30)
        self.assertEqual(program.wait_exit(timeout=30), 0)

    def test_escape_keeps_the_window_and_close_hides_it(self):
        self.start()
        wait_until(settings_window_visible, 20, interval=0.5, what="the settings window")
        self.assertTrue(post_messages((WM_COMMAND, IDCANCEL, 0)))
        time.sleep(1.0)   # nothing happens: the window stays
        self.assertTrue(settings_window_visible(), "Esc reloads the controls and keeps the window")
        self.assertTrue(post_messages((WM_CLOSE, 0, 0)))
        wait_until(lambda: not settings_window_visible(), 20, interval=0.5, what="the window to hide")
        # Hidden, not ended: it can be shown again.
        self.assertTrue(post_messages((WM_APP_SHOW_SETTINGS, 0, 0)))
        wait_until(settings_window_visible, 20, interval=0.5, what="the settings window again")
