"""Short hotkey presses: every press of the region key that lasts 50 ms is seen by the
hotkey poller exactly once and opens the region editor, also while the machine is busy
and the poller's passes come late."""

import time

from harness import wait_until, xdo
from test_region import REGION_KEY, RegionScenario
from test_screenshot import press

CYCLES = 50


class HotkeyPressTest(RegionScenario):

    def lines(self, program, text):
        return sum(1 for m in program.log_messages() if m.rstrip() == text)

    def test_each_50_ms_region_key_press_opens_the_editor_once(self):
        program = self.start()
        program.wait_log("HotkeysManager: poller started\n", timeout=10)
        time.sleep(1.0)   # the start-up's own work settles
        seen, opened, escapes = [], [], 0
        for cycle in range(CYCLES):
            hotkeys = self.lines(program, "Hotkey: RegionScreenshot")
            openings = self.lines(program, "Analytics: SelectRegion Open without Editor")
            cancels = self.lines(program, "Analytics: SelectRegion Cancel")
            press("d%d" % REGION_KEY, "s50", "u%d" % REGION_KEY)
            try:
                wait_until(lambda: self.lines(program, "Analytics: SelectRegion Open without Editor") > openings,
                           10, interval=0.05, what="the editor of press %d" % cycle)
            except AssertionError:
                pass   # counted below
            seen.append(self.lines(program, "Hotkey: RegionScreenshot") - hotkeys)
            opened.append(self.lines(program, "Analytics: SelectRegion Open without Editor") - openings)
            if opened[-1] == 0:
                continue
            # Closed with Escape; an Escape the editor missed is pressed again (the editor's
            # own keys are not what this scenario is about).
            for _ in range(20):
                xdo("keydown", "Escape")
                time.sleep(0.15)
                xdo("keyup", "Escape")
                escapes += 1
                try:
                    wait_until(lambda: self.lines(program, "Analytics: SelectRegion Cancel") > cancels, 2,
                               interval=0.05, what="the editor to close")
                    break
                except AssertionError:
                    continue
            time.sleep(0.5)   # the region handler ends after its editor
        report = "presses seen %r, editors opened %r (%d Escape presses for %d editors)" % (
            seen, opened, escapes, sum(opened))
        print("\n" + report)
        self.assertEqual(seen, [1] * CYCLES, report)
        self.assertEqual(opened, [1] * CYCLES, report)
        self.assertEqual(self.files(), [])
