#!/usr/bin/python3
"""The speed of `qftool import` on a MIDI file of 100,000 notes, against mido
reading the same file and timing its notes (the reference), in one run.

usage: import_bench.py QFTOOL WORK_DIR [NOTES]
"""
import os
import random
import subprocess
import sys
import time

import mido

QFTOOL, WORK = sys.argv[1], sys.argv[2]
NOTES = int(sys.argv[3]) if len(sys.argv) > 3 else 100000
os.makedirs(WORK, exist_ok=True)

# Format 1: a conductor track with a tempo change every 200 notes, and four
# tracks of 25,000 notes each on four channels.
rng = random.Random(7)
song = mido.MidiFile(type=1, ticks_per_beat=480)
conductor = mido.MidiTrack()
song.tracks.append(conductor)
for i in range(NOTES // 200):
    conductor.append(mido.MetaMessage("set_tempo", tempo=rng.randrange(300000, 900000), time=0 if i == 0 else 480 * 50))
for t in range(4):
    track = mido.MidiTrack()
    song.tracks.append(track)
    for _ in range(NOTES // 4):
        note = rng.randrange(48, 84)
        track.append(mido.Message("note_on", channel=t, note=note, velocity=80, time=rng.choice([0, 60, 120, 240])))
        track.append(mido.Message("note_on", channel=t, note=note, velocity=0, time=rng.choice([60, 120, 240])))
path = os.path.join(WORK, "bench.mid")
song.save(path)
out = os.path.join(WORK, "bench.qfi")


def best(runs, work):
    times = []
    for _ in range(runs):
        started = time.perf_counter()
        work()
        times.append(time.perf_counter() - started)
    return min(times)


def qftool_import():
    subprocess.run([QFTOOL, "import", path, out, "--key", "1297"], check=True, stderr=subprocess.DEVNULL)


def mido_read():
    now, notes = 0.0, 0
    for msg in mido.MidiFile(path):
        now += msg.time
        notes += msg.type == "note_on" and msg.velocity > 0
    assert notes == NOTES


ours = best(5, qftool_import)
reference = best(3, mido_read)
# The peak memory of one import, as GNU time (package "time") reports it.
rss = subprocess.run(["/usr/bin/time", "-f", "%M", QFTOOL, "import", path, out, "--key", "1297"],
                     capture_output=True, text=True).stderr.split()[-1]
events = int(subprocess.run([QFTOOL, "info", out], capture_output=True, text=True).stdout.split()[1])
print("file: %d bytes, %d notes; recording: %d events" % (os.path.getsize(path), NOTES, events))
print("qftool import: %.3f s (best of 5), peak memory %s KiB" % (ours, rss))
print("mido read:     %.3f s (best of 3)" % reference)
print("ratio (mido / qftool): %.1f" % (reference / ours))
