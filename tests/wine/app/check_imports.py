#!/usr/bin/env python3
"""Checks through `objdump -p` that the program does not import the capture core's heavy
libraries: a second start that only hands its command line to the running program would
map them (and their own dependencies) for nothing. The core loads them at run time.
Usage: check_imports.py OBJDUMP PROGRAM.exe"""
import re
import subprocess
import sys

LOADED_AT_RUN_TIME = {"d3d9.dll", "d3d11.dll", "dxgi.dll", "mfplat.dll", "mfreadwrite.dll", "avrt.dll"}


def main():
    objdump, program = sys.argv[1:3]
    dump = subprocess.run([objdump, "-p", program], check=True, capture_output=True, text=True).stdout
    imported = {m.lower() for m in re.findall(r"^\s*DLL Name:\s*(\S+)\s*$", dump, re.MULTILINE)}
    if "kernel32.dll" not in imported:
        print("no import table read from %s (%s)" % (program, sorted(imported)))
        return 1
    heavy = sorted(imported & LOADED_AT_RUN_TIME)
    if heavy:
        print("%s imports %s; load them at run time instead" % (program, ", ".join(heavy)))
        return 1
    print("imports: " + ", ".join(sorted(imported)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
