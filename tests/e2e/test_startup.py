"""Start-up of the program: folders, log file, the curl check and the migration of old
settings files."""

import os
import re

from harness import ProgramTest, wait_until


class StartupTest(ProgramTest):

    def test_creates_folders_and_logs_start_up_in_order(self):
        program = self.install().start("-s")
        program.wait_log("Going to start Main Window\n", timeout=60)
        for folder in (self.prefix.local, self.prefix.log_folder, os.path.join(self.prefix.common, "tmp")):
            self.assertTrue(os.path.isdir(folder), folder)
        logs = program.log_files()
        self.assertEqual(len(logs), 1)
        self.assertRegex(os.path.basename(logs[0]), r"^cvxlog_\d{6}_\d{6}\.log$")
        lines = program.log_text().splitlines()
        messages = program.log_messages()
        # The console test line comes before the log file is opened: console only.
        self.assertFalse(any(m.startswith("This is a test of the attached console") for m in messages))
        expected_order = ["curl.exe found: ",
                          "Upgrade to 3.10.0.58", "Going to start Main Window"]
        positions = []
        for text in expected_order:
            found = [i for i, m in enumerate(messages) if m.startswith(text)]
            self.assertTrue(found, "missing log line %r in %r" % (text, messages))
            positions.append(found[0])
            self.assertRegex(lines[found[0]], r"^\d\d:\d\d:\d\d: ")
        self.assertEqual(positions, sorted(positions), messages)
        self.assertIn("curl.exe found: " + program.windows_path.replace("/", "\\") + "\\curl.exe", messages)

    def test_missing_curl_shows_message_box_and_exits_non_zero(self):
        program = self.install(with_curl=False).start()
        box = program.wait_message_box("Brivane", timeout=60)
        texts = [c["text"] for c in box["children"]]
        self.assertIn(program.windows_path + "\\curl.exe not found", texts)
        self.assertIsNone(program.proc.poll(), "the process waits for the message box")
        from harness import close_message_boxes
        close_message_boxes()
        code = program.wait_exit(timeout=30)
        self.assertNotEqual(code, 0)
        messages = program.log_messages()
        self.assertEqual(len(program.log_files()), 1, "the log file is opened before the check")
        self.assertFalse(any(m.startswith("Singletons initialized") for m in messages), messages)
        self.assertFalse(any(m.startswith("Going to start Main Window") for m in messages), messages)


def launch_label(program):
    for m in program.log_messages():
        if m.startswith("System: "):
            return m
    raise AssertionError("no launch event logged")


def settings_with_id(app_id):
    return '{"app_id":"%s"}' % app_id, '"app_id":"%s"' % app_id


ROAMING, ROAMING_ID = settings_with_id("{11111111-1111-4111-8111-111111111111}")
LOCAL, LOCAL_ID = settings_with_id("{22222222-2222-4222-8222-222222222222}")
COMMON, COMMON_ID = settings_with_id("{33333333-3333-4333-8333-333333333333}")


class UpgradeTest(ProgramTest):
    """Old settings files left by older versions in the roaming or common data folder."""

    def write(self, folder, content):
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, "settings.json")
        with open(path, "w") as f:
            f.write(content)
        return path

    def run_program(self):
        program = self.install().start("-s")
        program.wait_log("Going to start Main Window\n", timeout=60)
        return program

    def read_local(self):
        with open(os.path.join(self.prefix.local, "settings.json")) as f:
            return f.read()

    def test_roaming_only_is_moved(self):
        roaming = self.write(self.prefix.roaming, ROAMING)
        program = self.run_program()
        self.assertIn(ROAMING_ID, self.read_local())
        self.assertFalse(os.path.exists(roaming))
        self.assertIn("Upgrade: Ok", "".join(program.log_messages()))
        self.assertIn(",Up-1, ", launch_label(program))

    def test_local_present_old_copies_deleted(self):
        self.write(self.prefix.local, LOCAL)
        roaming = self.write(self.prefix.roaming, ROAMING)
        common = self.write(self.prefix.common, COMMON)
        program = self.run_program()
        self.assertIn(LOCAL_ID, self.read_local())
        self.assertFalse(os.path.exists(roaming))
        self.assertFalse(os.path.exists(common))
        self.assertNotIn("Upgrade: Try", "".join(program.log_messages()))
        self.assertIn(",Up-0, ", launch_label(program))

    def test_roaming_and_common_common_wins(self):
        self.write(self.prefix.roaming, ROAMING)
        self.write(self.prefix.common, COMMON)
        self.run_program()
        self.assertIn(COMMON_ID, self.read_local())
        self.assertFalse(os.path.exists(os.path.join(self.prefix.roaming, "settings.json")))
        self.assertFalse(os.path.exists(os.path.join(self.prefix.common, "settings.json")))

    def test_failed_migration_keeps_the_only_copy(self):
        # A folder named settings.json in the local folder makes both the move and the
        # copy fail; the old file must survive for the next start.
        os.makedirs(os.path.join(self.prefix.local, "settings.json", "blocker"))
        roaming = self.write(self.prefix.roaming, ROAMING)
        program = self.run_program()
        self.assertTrue(os.path.exists(roaming))
        messages = "".join(program.log_messages())
        self.assertIn("Upgrade: Failed", messages)
        self.assertIn(",Up-2, ", launch_label(program))
