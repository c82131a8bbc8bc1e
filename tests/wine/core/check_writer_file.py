#!/usr/bin/env python3
"""Runs the Wine writer test (Media Foundation refuses, our own back end writes the file)
and then looks at the file it wrote with ffprobe and ffmpeg on Linux: a Windows program
cannot start them.

  check_writer_file.py --emulator WINE_LOADER --exe wine_core_tests.exe --out FILE.mp4

Exits 0 when every check holds, 1 otherwise, 77 (skipped) without ffprobe/ffmpeg.
"""
import argparse
import array
import os
import shutil
import subprocess
import sys

TEST = "AudioWin.WriterFallsBackToTheBuiltInBackEnd"
failures = []


def check(ok, what):
    print(("ok    " if ok else "FAIL  ") + what)
    if not ok:
        failures.append(what)


def run(args, timeout=120):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)


def probe(path, *entries):
    out = run(["ffprobe", "-v", "error", *entries, "-of", "csv=p=0", path]).stdout.decode()
    return [line.strip().rstrip(",") for line in out.splitlines() if line.strip()]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--emulator", required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--out", required=True)
    a = parser.parse_args()
    if not shutil.which("ffprobe") or not shutil.which("ffmpeg"):
        print("ffprobe/ffmpeg not installed")
        return 77

    out = os.path.abspath(a.out)
    if os.path.exists(out):
        os.remove(out)
    env = dict(os.environ, BRIVANE_WRITER_TEST_OUT="Z:" + out.replace("/", "\\"))
    test = subprocess.run([a.emulator, a.exe, "--gtest_filter=" + TEST], env=env, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, timeout=300)
    log = test.stdout.decode(errors="replace")
    passed = test.returncode == 0 and "[  PASSED  ] 1 test" in log
    check(passed, "the Wine writer test passes (Media Foundation refused, the built-in back end wrote the file)")
    if not passed:
        print(log[-4000:])
        return 1
    check(os.path.isfile(out), "the file is at " + out)
    if failures:
        return 1

    streams = probe(out, "-show_entries", "stream=codec_name,width,height,avg_frame_rate,sample_rate,channels")
    check(any(s.startswith("h264,160,120,30/1") for s in streams), "video h264 160x120 at 30/1: %s" % streams)
    check(any(s.startswith("aac,48000,2") for s in streams), "audio aac 48000 Hz stereo: %s" % streams)
    duration = float((probe(out, "-show_entries", "format=duration") or ["0"])[0])
    check(abs(duration - 3.0) <= 0.1, "duration 3.0 +- 0.1 s: %.3f" % duration)
    frames = probe(out, "-count_frames", "-select_streams", "v", "-show_entries", "stream=nb_read_frames")
    check(frames == ["90"], "90 pictures decode: %s" % frames)
    audio = (probe(out, "-select_streams", "a", "-show_entries", "stream=start_time,duration") or ["-1,-1"])[0]
    start, length = (float(v) for v in audio.split(",")[:2])
    check(start == 0.0 and abs(length - 3.0) <= 0.002,
          "sound starts at 0 and lasts 3 s (the encoder's delay is skipped): %s" % audio)

    # The picture at 1 s: red in the middle of the top half, blue in the bottom half.
    rgb = run(["ffmpeg", "-v", "error", "-ss", "1", "-i", out, "-frames:v", "1", "-f", "rawvideo",
               "-pix_fmt", "rgb24", "-"]).stdout
    check(len(rgb) == 160 * 120 * 3, "one 160x120 picture at 1 s")
    if len(rgb) == 160 * 120 * 3:
        top = rgb[(30 * 160 + 80) * 3:(30 * 160 + 80) * 3 + 3]
        bottom = rgb[(90 * 160 + 80) * 3:(90 * 160 + 80) * 3 + 3]
        check(top[0] > 200 and top[2] < 60, "red at the centre of the top half: %s" % list(top))
        check(bottom[0] < 60 and bottom[2] > 200, "blue in the bottom half: %s" % list(bottom))

    # The tone: zero crossings over the second second of the decoded sound.
    pcm = array.array("h", run(["ffmpeg", "-v", "error", "-i", out, "-map", "0:a", "-f", "s16le", "-ac", "1",
                                "-ar", "48000", "-"]).stdout)
    check(len(pcm) >= 2 * 48000, "at least 2 s of sound decode: %d samples" % len(pcm))
    if len(pcm) >= 2 * 48000:
        second = pcm[48000:96000]
        crossings = sum(1 for i in range(1, len(second)) if (second[i - 1] < 0) != (second[i] < 0))
        check(abs(crossings / 2.0 - 1000.0) <= 20.0, "a 1000 Hz +- 2 %% tone: %.1f Hz" % (crossings / 2.0))
    if not failures:
        os.remove(out)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
