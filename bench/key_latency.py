#!/usr/bin/python3
"""Key to sound, measured from outside: a key event sent through XTEST to the
program under Wine, to (a) the note-on in the capture backend's log (the MIDI
path) and (b) the first sample of the note in the stream that Wine's audio
wrote through ALSA into a file (the built-in synthesizer), in one run of one
program: first on the capture device, then on the synthesizer chosen in the
device menu. Each press is A down for 40 ms, then Esc, so that every note
starts from silence and its first sample is the first one that is not zero.

The stream's frames are put on the clock by watching the file grow: a frame's
time is when the file first held it, which is when Wine handed it to ALSA.

Run inside a Wine session (scripts/wine-session.sh), as docs/PERFORMANCE.md
shows: key_latency.py --build BUILD_DIR [--arch x86_64] [--presses 300]
"""
import argparse
import ctypes
import os
import shutil
import sys
import threading
import time

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from harness import Harness, wine_test_arch  # noqa: E402
from common import AUDIO_RATE, read_stream  # noqa: E402


class Keys:
    """Key events sent straight through XTEST, time-stamped as they leave."""

    def __init__(self):
        self.x = ctypes.CDLL("libX11.so.6")
        self.xtst = ctypes.CDLL("libXtst.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XStringToKeysym.restype = ctypes.c_ulong
        self.x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x.XFlush.argtypes = [ctypes.c_void_p]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.display = self.x.XOpenDisplay(None)
        if not self.display:
            sys.exit("no X display")

    def send(self, name, down):
        code = self.x.XKeysymToKeycode(self.display, self.x.XStringToKeysym(name.encode()))
        self.xtst.XTestFakeKeyEvent(self.display, code, 1 if down else 0, 0)
        self.x.XFlush(self.display)
        return time.time()

    def presses(self, count):
        """A down, 40 ms, A up, 60 ms, Esc, 100 ms; the times A went down."""
        sent = []
        for _ in range(count):
            sent.append(self.send("a", True))
            time.sleep(0.04)
            self.send("a", False)
            time.sleep(0.06)
            self.send("Escape", True)
            self.send("Escape", False)
            time.sleep(0.1)
        return sent


class Growth(threading.Thread):
    """Polls the stream file's size every half millisecond."""

    def __init__(self, path):
        super().__init__(daemon=True)
        self.path, self.samples, self.running = path, [], True

    def run(self):
        while self.running:
            try:
                self.samples.append((time.time(), os.stat(self.path).st_size))
            except OSError:
                pass
            time.sleep(0.0005)

    def chunks(self):
        """The median growth of the file in frames, and the median time
        between two growths in ms."""
        grew = [(t, s // 8) for (t, s), (_, before) in zip(self.samples[1:], self.samples) if s > before]
        frames = np.diff([f for _, f in grew])
        gaps = np.diff([t for t, _ in grew])
        return int(np.median(frames)), 1000 * float(np.median(gaps))

    def frame_times(self):
        """For each frame, the time the file first held it."""
        sizes = np.array([s for _, s in self.samples]) // 8
        times = np.array([t for t, _ in self.samples])
        grew = np.nonzero(np.diff(sizes, prepend=0) > 0)[0]
        frames = np.zeros(sizes[-1])
        start = 0
        for i in grew:
            frames[start:sizes[i]] = times[i]
            start = sizes[i]
        return frames


def summary(name, latencies):
    ms = 1000 * np.array(latencies)
    return f"| {name} | {len(ms)} | {np.percentile(ms, 50):.2f} | {np.percentile(ms, 99):.2f} | {ms.max():.2f} |"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--arch", choices=("i686", "x86_64"))
    parser.add_argument("--presses", type=int, default=300)
    options = parser.parse_args()
    h = Harness(os.path.abspath(options.build), options.arch or wine_test_arch())
    keys = Keys()
    try:
        app = h.start(audio=True)
        time.sleep(1)
        sent = keys.presses(options.presses)
        time.sleep(0.5)
        notes = [line.t / 1e6 for line in app.log() if line.kind == "msg" and line.word & 0xFFFF == 0x3C90]
        if len(notes) != len(sent):
            sys.exit(f"the MIDI path logged {len(notes)} note-ons for {len(sent)} presses")
        midi = [n - s for n, s in zip(notes, sent)]

        app.command(513)  # the synthesizer, after the one capture device
        growth = Growth(app.audio_path)
        growth.start()
        app.focus()
        time.sleep(1)
        sent = keys.presses(options.presses)
        time.sleep(0.5)
        growth.running = False
        growth.join()
        app.close()
        signal = read_stream(app.audio_path)
        times = growth.frame_times()
        sounding = np.nonzero(signal != 0)[0]
        # A note's first sample: the first one that is not zero after 50 ms of zeros.
        starts = sounding[np.diff(sounding, prepend=-AUDIO_RATE) > AUDIO_RATE // 20]
        if len(starts) != len(sent):
            sys.exit(f"the stream holds {len(starts)} notes for {len(sent)} presses")
        synth = [times[f] - s for f, s in zip(starts, sent)]
        print("| key event to | presses | p50 ms | p99 ms | max ms |")
        print("|---|---|---|---|---|")
        print(summary("note-on in the capture log (MIDI path)", midi))
        print(summary("first sample of the note in the stream (synthesizer)", synth))
        print("\nThe stream file grew by %d frames every %.1f ms (medians)." % growth.chunks())
    finally:
        h.cleanup()
        shutil.rmtree(h.tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
