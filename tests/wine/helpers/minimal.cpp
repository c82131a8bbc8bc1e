// Test helper: a program that does nothing. It is the yardstick for what starting any
// Windows process costs under Wine (tests/e2e/bench_handover.py): it imports only what
// the C runtime needs.
int wmain() {
    return 0;
}
