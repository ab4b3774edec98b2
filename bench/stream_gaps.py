#!/usr/bin/python3
"""The breaks in a steady tone that Wine's audio wrote into a file (float32
stereo, as qf-audio-stream-bench renders it): for each stretch of tone, its
length and the frames where the tone does not go on as a sine goes on (a
frame of silence put in, or frames lost). A sine keeps
x[n+1] = 2 cos(w) x[n] - x[n-1]; a break shows as a large remainder.

usage: stream_gaps.py FILE [--rate 48000] [--hz 441]
"""
import argparse

import numpy as np


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("file")
    parser.add_argument("--rate", type=int, default=48000)
    parser.add_argument("--hz", type=float, default=441.0)
    options = parser.parse_args()
    frames = np.fromfile(options.file, dtype="<f4")
    x = frames[:len(frames) // 2 * 2].reshape(-1, 2)[:, 0].astype(float)
    # Stretches of tone: runs of frames within 100 ms of a frame that is not silent.
    loud = np.convolve(np.abs(x) > 1e-6, np.ones(options.rate // 10), "same") > 0
    edges = np.flatnonzero(np.diff(np.concatenate(([0], loud.astype(int), [0]))))
    c = 2 * np.cos(2 * np.pi * options.hz / options.rate)
    for start, end in zip(edges[::2], edges[1::2]):
        tone = x[start:end]
        # From the first to the last frame that is not silent.
        sounding = np.flatnonzero(np.abs(tone) > 1e-6)
        tone = tone[sounding[0]:sounding[-1] + 1]
        remainder = np.abs(tone[2:] - c * tone[1:-1] + tone[:-2])
        breaks = np.flatnonzero(remainder > 1e-3)
        # Neighbouring frames of one break count once.
        count = int(np.sum(np.diff(breaks, prepend=-10) > 4))
        print(f"tone of {len(tone) / options.rate * 1000:.1f} ms: {count} breaks")


if __name__ == "__main__":
    main()
