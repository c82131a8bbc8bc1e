"""Start-up cost of the program and of a second start that hands its command line over,
run by hand (not a test: CI never runs it).

    scripts/with-wine.sh build/bench-prefix --target x86_64 -- \\
        python3 tests/e2e/bench_handover.py [--pin 6] [--base OTHER/brivane.exe]

Hand-over: with the program running (started with -s, settled), a second `brivane.exe`
without arguments (it hands over, the running program shows its window, which stays
open) and the do-nothing helper minimal.exe are started in turns, each timed from its
start to its exit, pinned with taskset to --pin. Prints the medians and the ratio
hand-over/minimal, and the modules one hand-over maps (a run with WINEDEBUG=+loaddll).
Goal: a hand-over's whole run at most 1.5x the minimal program's (PASS or MISS).
Start-up: the program started alone without arguments, from its start to the log line
"Going to start Main Window" and to its window on the screen (xdotool), then killed.
With --base, another build's brivane.exe is measured the same way in the same turns
(its hand-overs go to the same running program).
"""

import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import BUILD, Prefix, Program, wait_until  # noqa: E402
from shell_support import Collector, wait_main_window, write_settings  # noqa: E402

READY_LINE = "Going to start Main Window"

HANDOVER_GOAL = 1.5   # a hand-over at most this many times the minimal program


def pinned(cpus, args):
    return (["taskset", "-c", cpus] if cpus else []) + args


def timed_run(cmd):
    start = time.monotonic()
    subprocess.run(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=60, check=False)
    return time.monotonic() - start


def loaded_modules(exe):
    """The DLLs a run of exe maps, as Wine's loader reports them."""
    env = dict(os.environ, WINEDEBUG="+loaddll")
    result = subprocess.run(["wine", exe], stdin=subprocess.DEVNULL, capture_output=True, env=env, timeout=60)
    names = re.findall(r'Loaded L"([^"]+)"', result.stderr.decode("utf-8", "replace"))
    return sorted({n.replace("\\\\", "\\").split("\\")[-1].lower() for n in names})


def ms(values):
    return statistics.median(values) * 1000.0


def spread(values):
    return "%.0f-%.0f" % (min(values) * 1000.0, max(values) * 1000.0)


def measure_handover(exes, minimal, rounds, cpus):
    """{name: [seconds]} for each exe and for minimal, taken in turns."""
    runs = dict((name, []) for name in list(exes) + ["minimal"])
    for _ in range(2):   # warm-up: the running program's window is created on the first
        for exe in list(exes.values()) + [minimal]:
            timed_run(pinned(cpus, ["wine", exe]))
    for _ in range(rounds):
        for name, exe in list(exes.items()) + [("minimal", minimal)]:
            runs[name].append(timed_run(pinned(cpus, ["wine", exe])))
    return runs


def window_shown():
    result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Brivane "], capture_output=True)
    return result.returncode == 0 and result.stdout.strip()


def measure_startup(prefix, programs, rounds, cpus):
    """{name: ([to the ready line], [to the window])}, the programs started in turns."""
    results = dict((name, ([], [])) for name in programs)
    for _ in range(rounds):
        for name, program in programs.items():
            shutil.rmtree(prefix.log_folder, ignore_errors=True)
            start = time.monotonic()
            program.proc = subprocess.Popen(pinned(cpus, ["wine", os.path.join(program.folder, "brivane.exe")]),
                                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                            stderr=subprocess.DEVNULL)
            wait_until(lambda: READY_LINE in program.log_text(), 60, interval=0.002, what=READY_LINE)
            results[name][0].append(time.monotonic() - start)
            wait_until(window_shown, 60, interval=0.005, what="the program's window")
            results[name][1].append(time.monotonic() - start)
            program.kill()
            time.sleep(1.0)
    return results


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--rounds", type=int, default=20)
    parser.add_argument("--startups", type=int, default=7)
    parser.add_argument("--pin", default="", help="CPUs for taskset, e.g. 6 or 6,7")
    parser.add_argument("--base", help="another build's brivane.exe, measured beside this one")
    args = parser.parse_args()
    if "WINEPREFIX" not in os.environ:
        raise SystemExit("run inside scripts/with-wine.sh (see the top of this file)")
    prefix = Prefix()
    prefix.reset()
    collector = Collector()
    write_settings(prefix, {"analytics_url": collector.url})
    programs = {"program": Program(prefix)}
    if args.base:
        programs["base"] = Program(prefix, name="BrivaneBase", exe=args.base)
    exes = dict((name, os.path.join(p.folder, "brivane.exe")) for name, p in programs.items())
    minimal = os.path.join(BUILD, "tests", "wine", "minimal.exe")
    running = programs["program"]
    try:
        running.start("-s")
        running.wait_log("HotkeysManager: poller started\n", timeout=60)
        wait_main_window()
        time.sleep(2.0)   # let the start-up's own work (events, timers) settle
        modules = dict((name, loaded_modules(exe)) for name, exe in list(exes.items()) + [("minimal", minimal)])
        handover = measure_handover(exes, minimal, args.rounds, args.pin)
        running.kill()
        startup = measure_startup(prefix, programs, args.startups, args.pin)
    finally:
        for p in programs.values():
            p.kill()
        collector.close()

    print("target %s, pinned to %s, load average %s" % (os.environ.get("BRIVANE_TARGET", "?"), args.pin or "-",
                                                       " ".join(open("/proc/loadavg").read().split()[:3])))
    for name, names in modules.items():
        print("  %-8s maps %2d modules: %s" % (name, len(names), " ".join(names)))
    anchor = ms(handover["minimal"])
    print("  whole run, median of %d (min-max), ms:" % args.rounds)
    print("    minimal.exe          %6.1f  (%s)" % (anchor, spread(handover["minimal"])))
    for name in exes:
        pairs = [a / b for a, b in zip(handover[name], handover["minimal"])]
        ratio = ms(handover[name]) / anchor
        print("    %-8s hand-over   %6.1f  (%s)  ratio %.2f (paired median %.2f)   goal <= %.1f: %s"
              % (name, ms(handover[name]), spread(handover[name]), ratio, statistics.median(pairs),
                 HANDOVER_GOAL, "PASS" if ratio <= HANDOVER_GOAL else "MISS"))
    print("  start-up, median of %d (min-max), ms:" % args.startups)
    for name, (ready, window) in startup.items():
        print("    %-8s to %r %6.0f (%s), to its window %6.0f (%s)"
              % (name, READY_LINE, ms(ready), spread(ready), ms(window), spread(window)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
