#!/usr/bin/python3
"""Key to sound, measured from outside: a key event sent through XTEST to the
program under Wine, to (a) the note-on in the capture backend's log (the MIDI
path) and (b) the first sample of the note in the stream that Wine's audio
wrote through ALSA into a file (the built-in synthesizer), in one run of one
program: first on the capture mapper, then on the synthesizer, both chosen
by command. Each press is A down for 40 ms, then Esc, so that every note
starts from silence and its first sample is the first one that is not zero.

The stream's frames are put on the clock two ways. "Held": when the file
first held the frame, which is when Wine handed it to ALSA (Wine hands over
20 ms at a time, so this adds up to 20 ms of its own spread). "Stream
clock": where the frame falls on the stream's steady clock, a line fitted
through the file's growth (time against frames written), placed at the
median of the growths: what a device that plays the frames at a steady
rate would make of them.

With --reference OTHER_BUILD_DIR the same is measured with that build's
program too, in alternating rounds of the same run, so that the two can be
compared on a machine whose speed drifts.

Run inside a Wine session (scripts/wine-session.sh), as docs/PERFORMANCE.md
shows: key_latency.py --build BUILD_DIR [--reference BUILD_DIR] [--arch x86_64]
[--presses 300] [--rounds 2]
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

    def stream_clock(self):
        """The stream's steady clock: (time of frame 0, seconds per frame),
        a least-squares slope through the growths, placed at their median."""
        grew = [(t, s // 8) for (t, s), (_, before) in zip(self.samples[1:], self.samples) if s > before]
        times = np.array([t for t, _ in grew])
        frames = np.array([f for _, f in grew], dtype=float)
        slope = np.polyfit(frames, times, 1)[0]
        return float(np.median(times - slope * frames)), float(slope)

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
    p1, p50, p99 = (np.percentile(ms, q) for q in (1, 50, 99))
    return f"| {name} | {len(ms)} | {p50:.2f} | {p99:.2f} | {ms.max():.2f} | {p99 - p1:.2f} |"


def measure(h, keys, presses):
    """One program with Wine's audio: key to note-on on the capture mapper,
    then key to the note's first sample (held, and on the stream's clock) on
    the synthesizer; the latencies in seconds, and the file's growth."""
    app = h.start(audio=True)
    app.command(511)  # the capture mapper, wherever the program started
    app.focus()
    time.sleep(1)
    sent = keys.presses(presses)
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
    sent = keys.presses(presses)
    time.sleep(0.5)
    growth.running = False
    growth.join()
    app.close()
    signal = read_stream(app.audio_path)
    times = growth.frame_times()
    origin, per_frame = growth.stream_clock()
    sounding = np.nonzero(signal != 0)[0]
    # A note's first sample: the first one that is not zero after 50 ms of zeros.
    starts = sounding[np.diff(sounding, prepend=-AUDIO_RATE) > AUDIO_RATE // 20]
    if len(starts) != len(sent):
        sys.exit(f"the stream holds {len(starts)} notes for {len(sent)} presses")
    held = [times[f] - s for f, s in zip(starts, sent)]
    clock = [origin + per_frame * f - s for f, s in zip(starts, sent)]
    return midi, held, clock, growth.chunks()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--reference", help="another build measured in the same run (the one before a change)")
    parser.add_argument("--arch", choices=("i686", "x86_64"))
    parser.add_argument("--presses", type=int, default=300, help="presses per device and build, over all rounds")
    parser.add_argument("--rounds", type=int, default=1)
    options = parser.parse_args()
    arch = options.arch or wine_test_arch()
    builds = [("reference", options.reference)] if options.reference else []
    builds.append(("this build", options.build))
    harnesses = [(name, Harness(os.path.abspath(path), arch)) for name, path in builds]
    keys = Keys()
    results = {name: ([], [], [], []) for name, _ in builds}
    try:
        for _ in range(options.rounds):
            for name, h in harnesses:
                midi, held, clock, chunks = measure(h, keys, options.presses // options.rounds)
                results[name][0].extend(midi)
                results[name][1].extend(held)
                results[name][2].extend(clock)
                results[name][3].append(chunks)
                h.cleanup()
        print("| key event to | presses | p50 ms | p99 ms | max ms | p99 - p1 ms |")
        print("|---|---|---|---|---|---|")
        for name, _ in builds:
            midi, held, clock, _ = results[name]
            print(summary(f"{name}: note-on in the capture log (MIDI path)", midi))
            print(summary(f"{name}: first sample of the note, held in the file (琴坊音源)", held))
            print(summary(f"{name}: first sample of the note, on the stream's clock (琴坊音源)", clock))
        for name, _ in builds:
            chunks = results[name][3]
            print(f"\n{name}: the stream file grew by " +
                  ", ".join("%d frames every %.1f ms" % c for c in chunks) + " (medians, per round).")
    finally:
        for _, h in harnesses:
            h.cleanup()
            shutil.rmtree(h.tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
