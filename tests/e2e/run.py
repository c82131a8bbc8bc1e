"""Runs the end-to-end scenarios (tests/e2e/test_*.py) and prints a closing summary.
Run inside scripts/with-wine.sh; see scripts/test.sh."""

import os
import sys
import unittest

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)
pattern = sys.argv[1] if len(sys.argv) > 1 else "test_*.py"
suite = unittest.defaultTestLoader.discover(here, pattern=pattern)
result = unittest.TextTestRunner(verbosity=2).run(suite)
failed = len(result.failures) + len(result.errors)
skipped = len(result.skipped)
passed = result.testsRun - failed - skipped
print("e2e: %d passed, %d failed, %d skipped" % (passed, failed, skipped))
sys.exit(1 if failed or result.testsRun == 0 else 0)
