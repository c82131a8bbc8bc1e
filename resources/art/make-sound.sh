#!/usr/bin/env bash
# Makes the capture sound (WAVE resource 146): a short, soft shutter click, 16-bit mono
# at 22050 Hz, about 0.12 s. The result is committed; run this again only to change it.
set -euo pipefail
cd "$(dirname "$0")"
python3 - ../capture.wav <<'PY'
import math, random, struct, sys, wave

rate = 22050
random.seed(146)   # the same bytes on every run
samples = []
length = int(rate * 0.12)
for i in range(length):
    t = i / rate
    # Two decaying clicks (the shutter opening and closing): noise plus a low tone.
    value = 0.0
    for start, gain in ((0.0, 1.0), (0.055, 0.7)):
        if t >= start:
            d = t - start
            envelope = gain * math.exp(-d * 90.0)
            value += envelope * (0.55 * (random.random() * 2 - 1) + 0.45 * math.sin(2 * math.pi * 1800 * d))
    samples.append(max(-32767, min(32767, int(value * 0.6 * 32767))))
with wave.open(sys.argv[1], "wb") as out:
    out.setnchannels(1)
    out.setsampwidth(2)
    out.setframerate(rate)
    out.writeframes(struct.pack("<%dh" % len(samples), *samples))
PY
