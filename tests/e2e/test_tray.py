"""The running tray program: the tray icon and its menu, timers, the close-request
file, exit with the settings saved, and the cleanup of old logs and temporary files."""

import os
import subprocess
import time

from harness import ProgramTest, wait_until, windows
from shell_support import Collector, post_messages, read_settings, wait_main_window, write_settings

WM_COMMAND = 0x0111
WM_APP_TRAY_NOTIFY = 0x800A
WM_LBUTTONUP = 0x0202
WM_RBUTTONUP = 0x0205
ID_TRAY_EXIT = 32773
ID_TRAY_SILENT_MODE = 32781
ID_TRAY_CAPTURE_REGION = 32779


class TrayProgramTest(ProgramTest):
    """A started program that sends its analytics to a local collector."""

    def setUp(self):
        super().setUp()
        self.collector = Collector()
        self.addCleanup(self.collector.close)

    def start(self, *args, settings=None):
        program = self.install()
        values = {"analytics_url": self.collector.url}
        values.update(settings or {})
        write_settings(self.prefix, values)
        program.start(*args)
        program.wait_log("Going to start Main Window\n", timeout=60)
        wait_main_window()
        return program


class TrayTest(TrayProgramTest):

    def test_starts_with_tray_icon_and_timers(self):
        program = self.start()
        # The sync timer runs 2 s after the start, so the tray icon was created.
        program.wait_log("TIMER_SERVER_SYNC:\n", timeout=20)
        self.assertNotIn("no tray icon", program.log_text())
        classes = [w["class"] for w in windows()]
        # Without an X tray, Wine shows its own tray window once an icon is added.
        self.assertIn("__winex11_standalone_tray", classes)

    def test_quiet_start_stays_hidden_and_plain_start_shows_the_window(self):
        program = self.start("-s")
        program.wait_log("TIMER_SERVER_SYNC:\n", timeout=20)
        visible = [w["caption"] for w in windows()]
        self.assertFalse(any(c.startswith("Brivane ") for c in visible), visible)
        program.kill()
        program = self.start()
        wait_until(lambda: any(w["caption"].startswith("Brivane ") for w in windows()), 20, interval=0.5,
                   what="the settings window")

    def test_exit_from_menu_sends_event_and_saves_settings(self):
        program = self.start()
        self.assertFalse(read_settings(self.prefix).get("silent_mode", False))
        # The change and the exit arrive together, long before the next autosave pass.
        self.assertTrue(post_messages((WM_COMMAND, ID_TRAY_SILENT_MODE, 0), (WM_COMMAND, ID_TRAY_EXIT, 0)))
        self.assertEqual(program.wait_exit(timeout=30), 0)
        self.assertTrue(read_settings(self.prefix).get("silent_mode"), "the last change is saved before the exit")
        self.collector.wait_event("Application", "Set Game Mode in Tray")
        self.collector.wait_event("Application", "Exit")

    def test_left_click_starts_a_region_screenshot(self):
        program = self.start(settings={"storage_type": 6})
        self.assertTrue(post_messages((WM_APP_TRAY_NOTIFY, 0, WM_LBUTTONUP)))
        self.collector.wait_event("Screenshot.Region", "Launch on Tray with Left Mouse", "Server + Local")
        # The region message opened the editor (editor mode is the default).
        self.collector.wait_event("SelectRegion", "Open with Editor", "")

    def test_right_click_opens_the_menu_and_a_command_runs(self):
        program = self.start()
        self.assertTrue(post_messages((WM_APP_TRAY_NOTIFY, 0, WM_RBUTTONUP)))
        wait_until(lambda: any(w["class"] == "#32768" for w in windows()), 30, interval=0.5, what="the tray menu")
        # Choose "Capture region" with the keyboard: first item, Enter.
        subprocess.run(["xdotool", "key", "Down", "Return"], check=False, timeout=10)
        self.collector.wait_event("TrayMenu", "Open")
        self.collector.wait_event("Screenshot.Region", "Launch on Tray")
        self.collector.wait_event("SelectRegion", "Open with Editor", "")


class CloseRequestTest(TrayProgramTest):

    def check_close_request(self, folder):
        program = self.start()
        self.assertTrue(post_messages((WM_COMMAND, ID_TRAY_SILENT_MODE, 0)))
        marker = os.path.join(folder, "cvx_do_close")
        self.collector.wait_event("Application", "Set Game Mode in Tray", "")
        with open(marker, "w"):
            pass
        started = time.monotonic()
        self.assertEqual(program.wait_exit(timeout=30), 0)
        # The timer looks every 100 ms; Wine's process teardown adds to the wait.
        self.assertLess(time.monotonic() - started, 3.0)
        self.assertTrue(os.path.exists(marker), "the marker stays until the next start")
        self.assertTrue(read_settings(self.prefix).get("silent_mode"), "settings are saved before the exit")
        # The next start deletes it and keeps running.
        program2 = self.start()
        self.assertFalse(os.path.exists(marker))
        self.assertIsNone(program2.proc.poll())

    def test_marker_in_user_temp_folder(self):
        self.check_close_request(self.prefix.temp)

    def test_marker_in_local_data_folder(self):
        self.check_close_request(self.prefix.local)


class CleanupTest(TrayProgramTest):

    def make_file(self, path, age_seconds):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write("old run\n")
        stamp = time.time() - age_seconds
        os.utime(path, (stamp, stamp))

    def test_old_logs_are_deleted_at_start(self):
        logs = self.prefix.log_folder
        old = os.path.join(logs, "cvxlog_200101_000000.log")
        young = os.path.join(logs, "cvxlog_200102_000000.log")
        future = os.path.join(logs, "cvxlog_990101_000000.log")
        self.make_file(old, 2678400 + 5)
        # Younger than the limit by more than the start takes.
        self.make_file(young, 2678400 - 120)
        self.make_file(future, -86400)
        folder = os.path.join(logs, "kept_folder")
        os.makedirs(folder)
        stamp = time.time() - 4000000
        os.utime(folder, (stamp, stamp))
        self.start()
        wait_until(lambda: not os.path.exists(old), 20, what="the old log to be deleted")
        time.sleep(0.5)   # nothing happens: the other entries stay
        self.assertTrue(os.path.exists(young))
        self.assertTrue(os.path.exists(future), "a last-write time in the future is not old")
        self.assertTrue(os.path.isdir(folder))

    def test_tmp_folder_is_emptied_at_a_plain_and_a_quiet_start(self):
        tmp = os.path.join(self.prefix.common, "tmp")
        for args in ((), ("-s",)):
            with self.subTest(args=args):
                leftover = os.path.join(tmp, "upload", "abcdefghij.png")
                self.make_file(leftover, 10)
                program = self.start(*args)
                wait_until(lambda: not os.path.exists(os.path.join(tmp, "upload")), 20,
                           what="the tmp folder to be emptied")
                self.assertTrue(os.path.isdir(tmp), "the folder itself is made again")
                program.kill()

    def test_tmp_folder_is_kept_at_a_capture_start(self):
        tmp = os.path.join(self.prefix.common, "tmp")
        leftover = os.path.join(tmp, "abcdefghij.png")
        self.make_file(leftover, 10)
        program = self.start("-r")
        # The region message opened the editor, so the start is over; old logs are pruned
        # by the same start, which shows that the cleanup threads had their chance.
        self.collector.wait_event("SelectRegion", "Open with Editor", "", timeout=20)
        time.sleep(1.0)   # nothing happens: the leftover stays
        self.assertTrue(os.path.exists(leftover))
