"""Short key presses in the region editor: the region key opens it and Escape closes it,
fifty times over with 50 ms presses sent while the editor is still busy opening (its
panels and blur picture are made right after its first frame), and not one press may
be lost."""

from harness import ProgramTest, wait_until, wine
from test_region import REGION_KEY, RegionScenario
from test_screenshot import helper

ESCAPE = 27
CYCLES = 50
PRESS_MS = 50
SPOT = (150, 120)             # in the test window's red quadrant
RED = (220, 30, 30)           # the test window's top left quadrant
DIMMED_RED = (40, 40, 40)     # its grey level 86, 46 darker


def hex_colour(rgb):
    return "%02x%02x%02x" % rgb


class RegionKeyPressTest(RegionScenario):

    def press_until(self, key, colour, lost):
        """Presses the key for PRESS_MS and waits until the spot shows the colour; a press
        after which the spot keeps its colour for 10 s is counted in `lost` and the key
        pressed again (at most three times)."""
        for _ in range(3):
            result = wine([helper("keypress"), "d%d" % key, "s%d" % PRESS_MS, "u%d" % key,
                           "w%d,%d,%s,3" % (SPOT + (hex_colour(colour),))], timeout=60)
            if result.returncode == 0:
                return
            self.assertEqual(result.returncode, 3, "keypress failed: %r" % result.stderr)
            lost.append(key)
        self.fail("key %d pressed three times without effect; lost so far: region key %d, Escape %d"
                  % (key, len(self.lost_opens), len(self.lost_closes)))

    def test_fifty_short_presses_open_and_close_the_editor_every_time(self):
        # The test window must outlive the cycles (the scenarios' usual 90 s may not).
        ProgramTest.show_window(self, 100, 80, 400, 300, seconds=600)
        program = self.start(select_and_draw_mode=True)
        program.wait_log("HotkeysManager: poller started\n", timeout=10)
        wine([helper("keypress"), "m5,5"], timeout=60)   # the pointer (and the badge) off the spot
        lost_opens, lost_closes = self.lost_opens, self.lost_closes = [], []
        for _ in range(CYCLES):
            self.press_until(REGION_KEY, DIMMED_RED, lost_opens)
            self.press_until(ESCAPE, RED, lost_closes)
        self.assertEqual((len(lost_opens), len(lost_closes)), (0, 0),
                         "presses lost in %d cycles: region key %d, Escape %d" % (CYCLES, len(lost_opens),
                                                                                len(lost_closes)))
        wait_until(lambda: self.count("SelectRegion", "Cancel") >= CYCLES, 30, interval=0.5, what="the cancels' events")
        self.assertEqual(self.count("SelectRegion", "Cancel"), CYCLES, "one cancel per Escape")
        self.assertEqual(self.files(), [])
