"""Screen recording through the core's recorder, driven by tests/wine/helpers/recorder_probe.exe:
an area of the probe's own animating window is recorded into an MP4 file (with the
microphone of the private PulseAudio server that scripts/with-pulse.sh runs: a 1 kHz tone)
and the file is read back with ffprobe and ffmpeg."""

import array
import json
import math
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest

from harness import BUILD, wine

PROBE = os.path.join(BUILD, "tests", "wine", "recorder_probe.exe")
HAVE_FFMPEG = shutil.which("ffprobe") is not None and shutil.which("ffmpeg") is not None
TIME_PREFIX = re.compile(r"^\d\d:\d\d:\d\d: ")


def expected_class():
    """Machine-class line, frame rate (GDI: the only mode under Wine) and the 320x240 bitrate
    that the rules give for this machine's processor count."""
    cpus = os.cpu_count() or 1
    if cpus >= 6:
        return "[cvxcore]:Fast comp detected", 25, 640000
    if cpus >= 4:
        return "[cvxcore]:Middle comp detected", 20, 640000
    return "[cvxcore]:Slow comp detected", 6, 320000


def ffprobe_streams(path):
    out = subprocess.run(["ffprobe", "-v", "error", "-show_entries",
                          "stream=codec_name,width,height,sample_rate,channels", "-of", "compact=p=0", path],
                         capture_output=True, check=True).stdout.decode()
    return out


def duration(path):
    out = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path],
                         capture_output=True, check=True).stdout.decode()
    return float(out.strip())


def video_frames_and_span(path):
    """Frames decoded from the video stream, and the seconds from its first frame to its last."""
    out = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                          "stream=nb_read_frames:packet=pts_time", "-of", "json", path],
                         capture_output=True, check=True).stdout
    info = json.loads(out)
    times = sorted(float(p["pts_time"]) for p in info["packets"])
    return int(info["streams"][0]["nb_read_frames"]), times[-1] - times[0]


def frame_at(path, seconds):
    """The decoded 320x240 frame at `seconds` as RGB bytes, top row first."""
    data = subprocess.run(["ffmpeg", "-v", "error", "-ss", "%.2f" % seconds, "-i", path, "-frames:v", "1",
                           "-f", "rawvideo", "-pix_fmt", "rgb24", "-"], capture_output=True, check=True).stdout
    assert len(data) == 320 * 240 * 3, len(data)
    return data


def pixel(frame, x, y):
    i = (y * 320 + x) * 3
    return tuple(frame[i:i + 3])


def close(a, b, tolerance=40):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


def audio_levels(path, window_ms=10):
    """RMS of the decoded audio (first channel) per window."""
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-map", "0:a", "-ac", "1", "-ar", "48000",
                          "-f", "f32le", "-"], capture_output=True, check=True).stdout
    samples = array.array("f")
    samples.frombytes(raw[:len(raw) // 4 * 4])
    n = 48 * window_ms
    return [math.sqrt(sum(s * s for s in samples[i:i + n]) / n) for i in range(0, len(samples) - n + 1, n)]


@unittest.skipUnless(HAVE_FFMPEG, "ffprobe and ffmpeg are needed")
class RecorderTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="brivane-rec-")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def record(self, seconds, *options, env=None, timeout=90):
        """Runs the probe; returns (result dict, other lines, log lines without time, mp4 path)."""
        path = os.path.join(self.dir, "out.mp4")
        started = time.monotonic()
        proc = subprocess.run(["wine", PROBE, "Z:" + path.replace("/", "\\"), str(seconds)] + list(options),
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              timeout=timeout, env=env, cwd=self.dir)
        self.elapsed = time.monotonic() - started
        text = proc.stdout.decode("utf-8", "replace")
        lines = [TIME_PREFIX.sub("", line.rstrip("\r")) for line in text.splitlines()]
        result = {}
        for line in lines:
            if line.startswith("result: "):
                for field in line[len("result: "):].split():
                    key, _, value = field.partition("=")
                    result[key] = value
        self.assertEqual(proc.returncode, 0, text)
        self.assertEqual(result.get("finished"), "1", text)
        return result, lines, text, path

    def test_area_with_microphone_one_colour_a_second(self):
        """5 s of a 320x240 area with the microphone; a second request and a re-initialisation
        during it are refused; the file holds the window's colours of those seconds, upright."""
        result, lines, text, path = self.record(5, "--mic", "--second", "--reinit")
        self.assertEqual(result["error"], "0", text)
        self.assertAlmostEqual(float(result["recordedMs"]), 5000, delta=300)
        self.assertGreater(int(result["measuredFps"]), 0)
        self.assertEqual(result["size"], "320x240")
        self.assertEqual(result["errorText"], "null")
        self.assertEqual(result["active"], "0")
        self.assertLess(int(result["stopToFinishMs"]), 3000, "stopped within a few seconds")
        machine, fps, bitrate = expected_class()
        for line in ("[cvxcore]:Record microphone...", "[cvxcore]:Start record loop",
                     "[cvxcore]:Recording video modes: 0-0", "[cvxcore]:Recording finished", machine,
                     "[cvxcore]:Max FPS: %d" % fps, "[cvxcore]:Bitrate: %d" % bitrate,
                     "second: finished=1 error=30", "reinit: 0", "CvxReinit: refused, a recording is running"):
            self.assertIn(line, lines, text)

        streams = ffprobe_streams(path)
        self.assertIn("codec_name=h264|width=320|height=240", streams)
        self.assertIn("codec_name=aac|sample_rate=48000|channels=2", streams)
        self.assertAlmostEqual(duration(path), 5.0, delta=0.5)
        # The GDI session is paced to the declared rate: as many frames as the rate gives
        # from the first frame to the last (the session starts after the file's time
        # begins), within 5 %.
        frames, span = video_frames_and_span(path)
        self.assertAlmostEqual((frames - 1) / span, fps, delta=fps * 0.05, msg="%d frames in %.2f s" % (frames, span))
        palette = [tuple(int(v) for v in c.split(",")) for line in lines if line.startswith("colours: ")
                   for c in line[len("colours: "):].split(";")]
        for second in (1, 3):
            frame = frame_at(path, second + 0.5)
            top, bottom = pixel(frame, 160, 40), pixel(frame, 160, 200)
            self.assertTrue(close(top, palette[second]), (second, top, palette[second]))
            self.assertTrue(close(bottom, (0, 0, 0)), (second, bottom))

    def test_pause_leaves_no_gap(self):
        """Paused for 2 s of 6: about 4 s recorded, and the tone runs on over the pause point
        (3 s into the file)."""
        result, lines, text, path = self.record(6, "--mic", "--pause", "3,2")
        self.assertEqual(result["error"], "0", text)
        self.assertAlmostEqual(float(result["recordedMs"]), 4000, delta=500)
        self.assertAlmostEqual(duration(path), 4.0, delta=0.5)
        # The loop ran over 5 s: one speed line, whole milliseconds with two decimals.
        self.assertTrue(any(re.fullmatch(r"\[cvxcore\]:speed=\d+\.00 ms", line) for line in lines), text)
        # Quiet 10 ms windows in a row; every run that comes near the pause point is short.
        runs, start = [], None
        levels = audio_levels(path)
        for i, level in enumerate(levels + [1.0]):
            if level < 0.01 and start is None:
                start = i
            elif level >= 0.01 and start is not None:
                runs.append((start * 10, (i - start) * 10))
                start = None
        near = [(at, length) for at, length in runs if at <= 3100 and at + length >= 2900]
        self.assertTrue(all(length <= 100 for _, length in near), "quiet runs (ms, length): %s" % runs)

    def test_system_sound_fails_cleanly(self):
        """Wine 8 has no loopback capture: error 21, the sources released, the file closed."""
        result, lines, text, path = self.record(3, "--sound", timeout=60)
        self.assertEqual(result["error"], "21", text)
        self.assertIn("[cvxcore]:[Failed]:err=21 errEx=0x88890003", lines)
        order = ["[cvxcore]:Recording releasing", "[cvxcore]:Releasing Microphone", "[cvxcore]:Releasing Sound",
                 "[cvxcore]:Releasing Video", "[cvxcore]:sink_writer finished", "[cvxcore]:Recording finished"]
        self.assertEqual([lines.index(line) for line in order], sorted(lines.index(line) for line in order))
        self.assertLess(self.elapsed, 30)
        os.remove(path)   # closed: nothing holds it

    def test_microphone_without_a_server(self):
        env = dict(os.environ, PULSE_SERVER="unix:" + os.path.join(self.dir, "no-server"))
        result, lines, text, path = self.record(2, "--mic", env=env, timeout=60)
        self.assertEqual(result["error"], "17", text)
        self.assertIn("[cvxcore]:Recording finished", lines)


if __name__ == "__main__":
    unittest.main()
