#!/usr/bin/python3
"""Practice mode from outside: a key event sent through XTEST to the program
under Wine, to (a) the next chord's key cap changing colour on the screen
(read straight from the X server, a pixel at a time) and (b) the note-on in
the capture backend's log, with practice off and on, in one run of one
program.

The song alternates A and S, one note a chord, so that each press completes
a chord and lights the key of the next one: A pressed lights S, S pressed
lights A. Each press is the key down, the cap waited for (at most 200 ms),
the key up 40 ms after it went down, then 100 ms of rest.

Run inside a Wine session (scripts/wine-session.sh), as docs/PERFORMANCE.md
shows: practice_latency.py --build BUILD_DIR [--arch x86_64] [--presses 200]
"""
import argparse
import ctypes
import os
import shutil
import subprocess
import sys
import time

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from harness import Harness, wine_test_arch, wait_until  # noqa: E402
from common import choose_file, key_cell_screen  # noqa: E402
from key_latency import Keys  # noqa: E402

NOW = (255, 170, 0)
A, S = 30, 31


class Pixels:
    """One pixel of the root window, read with XGetImage."""

    def __init__(self, keys):
        self.x, self.display = keys.x, keys.display
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XGetImage.restype = ctypes.c_void_p
        self.x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                     ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x.XGetPixel.restype = ctypes.c_ulong
        self.x.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        self.root = self.x.XDefaultRootWindow(self.display)

    def at(self, px, py):
        image = self.x.XGetImage(self.display, self.root, px, py, 1, 1, 0xFFFFFFFF, 2)  # ZPixmap
        value = self.x.XGetPixel(image, 0, 0)
        # XDestroyImage is a macro over the image's own destroy function: freed with the process.
        return (value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF

    def wait_for(self, px, py, colour, timeout):
        """When the pixel turned colour, polled every quarter millisecond
        (asking without a pause would keep the X server from the program)."""
        end = time.time() + timeout
        while time.time() < end:
            if self.at(px, py) == colour:
                return time.time()
            time.sleep(0.00025)
        return None


def summary(name, ms):
    ms = np.array(ms)
    return (f"| {name} | {len(ms)} | {np.percentile(ms, 50):.2f} | {np.percentile(ms, 99):.2f} | "
            f"{np.percentile(ms, 99) - np.percentile(ms, 1):.2f} |")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--arch", choices=("i686", "x86_64"))
    parser.add_argument("--presses", type=int, default=200)
    options = parser.parse_args()
    h = Harness(os.path.abspath(options.build), options.arch or wine_test_arch())
    keys = Keys()
    pixels = Pixels(keys)
    try:
        song = os.path.join(h.tmp, "alternate.qfi")
        events = "".join(f"{0 if i == 0 else 200} 256 {(A if i % 2 == 0 else S) << 16 | 1:08x} 0\n"
                         f"100 257 {(A if i % 2 == 0 else S) << 16 | 1:08x} 0\n" for i in range(2 * options.presses + 1))
        subprocess.run([os.path.join(h.build, "native", "qftool"), "write", song, "--key", "1297"],
                       input=events.encode(), check=True)
        app = h.start()
        app.command(1296)
        choose_file(app, song, "打开")
        wait_until(lambda: app.main_title() == "琴坊 - [alternate.qfi]", 5)
        faces = {}
        for scan in (A, S):
            left, top = key_cell_screen(app, scan)
            faces[scan] = (left + 8, top + 19)
        app.focus(app.main_title())
        time.sleep(0.5)

        def press_all(watch):
            drawn, sounded = [], []
            for i in range(options.presses):
                key, lit = ("a", S) if i % 2 == 0 else ("s", A)
                mark = app.mark()
                sent = keys.send(key, True)
                if watch:
                    seen = pixels.wait_for(*faces[lit], NOW, 0.2)
                    if seen is None:
                        sys.exit(f"press {i}: the next key was not lit within 200 ms")
                    drawn.append(1000 * (seen - sent))
                time.sleep(max(0.0, sent + 0.04 - time.time()))
                keys.send(key, False)
                time.sleep(0.1)
                on = [line.t / 1e6 for line in app.log_since(mark) if line.kind == "msg" and line.word & 0xF0 == 0x90]
                if not on:
                    sys.exit(f"press {i}: no note-on in the log")
                sounded.append(1000 * (on[0] - sent))
            return drawn, sounded

        # The note-ons are timed while nobody reads the screen, the caps in a
        # practice of their own.
        _, plain = press_all(False)
        app.key("F5")
        time.sleep(0.5)
        _, practised = press_all(False)
        app.key("F5")
        app.key("F5")
        time.sleep(0.5)
        drawn, _ = press_all(True)
        app.key("Escape")
        print("| key event to | presses | p50 ms | p99 ms | p99 - p1 ms |")
        print("|---|---|---|---|---|")
        print(summary("note-on, practice off", plain))
        print(summary("note-on, practice on", practised))
        print(summary("next chord's cap lit on the screen", drawn))
        app.close()
    finally:
        h.cleanup()
        shutil.rmtree(h.tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
