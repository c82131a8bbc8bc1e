#!/usr/bin/env python3
"""Checks graphin.dll's link with the program through `objdump -p`:
the program imports graphin.dll by ordinal only (no name), and exactly the expected
ordinals; graphin.dll exports each name at its ordinal.
Usage: check_ordinals.py OBJDUMP PROGRAM.exe graphin.dll"""
import re
import subprocess
import sys

EXPORTS = {
    "GraphinCreateImage": 1, "GraphinReleaseImage": 2, "GraphinBlitImage": 4,
    "GraphinCreateGraphics": 10, "GraphinReleaseGraphics": 11, "GraphinMakeColor": 12,
    "GraphinDrawLine": 13, "GraphinDrawTriangle": 14,
    "GraphinSetLineWidth": 40, "GraphinSetLineColor": 41, "GraphinSetFillColor": 42,
}


def imports_of(dump, dll):
    """(ordinals, names) imported from `dll`; None when it is not imported."""
    lines = dump.splitlines()
    for i, line in enumerate(lines):
        if line.strip().lower() == "dll name: " + dll.lower():
            break
    else:
        return None
    ordinals, names = [], []
    for line in lines[i + 2:]:
        fields = line.split()
        if not fields:
            break
        value = int(fields[0], 16)
        top = 1 << (len(fields[0]) * 4 - 1)
        if value & top:
            ordinals.append(value & 0xFFFF)
        else:
            names.append(fields[-1])
    return ordinals, names


def exports_of(dump):
    """{name: ordinal} from the export tables."""
    base = re.search(r"Ordinal Base (\d+)", dump)
    table = dump.split("[Ordinal/Name Pointer] Table", 1)
    if not base or len(table) < 2:
        return {}
    result = {}
    for line in table[1].splitlines()[1:]:
        m = re.match(r"\s*\[\s*(\d+)\]\s+(\S+)\s*$", line)
        if not m:
            break
        result[m.group(2)] = int(m.group(1)) + int(base.group(1))
    return result


def main():
    objdump, program, dll = sys.argv[1:4]
    failures = []
    found = imports_of(subprocess.run([objdump, "-p", program], check=True, capture_output=True,
                                      text=True).stdout, "graphin.dll")
    if found is None:
        failures.append(f"{program} does not import graphin.dll at load time")
    else:
        ordinals, names = found
        if names:
            failures.append(f"{program} imports graphin.dll by name: {names}")
        if sorted(ordinals) != sorted(EXPORTS.values()):
            failures.append(f"{program} imports graphin.dll ordinals {sorted(ordinals)}, "
                            f"expected {sorted(EXPORTS.values())}")
    exported = exports_of(subprocess.run([objdump, "-p", dll], check=True, capture_output=True,
                                         text=True).stdout)
    if exported != EXPORTS:
        failures.append(f"graphin.dll exports {exported}, expected {EXPORTS}")
    for f in failures:
        print("FAIL:", f)
    if not failures:
        print(f"graphin.dll: {len(EXPORTS)} ordinals imported by ordinal only, names exported at them")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
