#!/usr/bin/python3
"""Exported MIDI files read by readers this project did not write (mido and
midicsv): the notes, channels, programs and times must be the ones the
recording asks for.

usage: check_midi_readers.py QFTOOL WORK_DIR
"""
import os
import random
import subprocess
import sys

import mido

QFTOOL, WORK = sys.argv[1], sys.argv[2]
os.makedirs(WORK, exist_ok=True)

# The note in C major of every playable scan code, from the shared key table.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data"))
from key_table import read_key_table  # noqa: E402
NOTES = {scan: k[6] for scan, k in read_key_table().items()}
assert len(NOTES) == 45, "the key table has 45 playable keys"
TRANSPOSITION = {
    1297: 0, 1320: 0, 1298: 2, 1321: 2, 1299: 4, 1329: 4, 1300: 5, 1316: 5, 1301: 7, 1317: 7,
    1302: 9, 1328: 9, 1303: -1, 1330: -1, 1304: 6, 1331: 6, 1305: 1, 1332: 1, 1312: -2, 1319: -2,
    1313: 3, 1315: 3, 1314: -4, 1318: -4,
}
TEMPO = 759494
DIVISION = 192

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def export(name, events, key, bass, instrument=None, export_key=None):
    qfi = os.path.join(WORK, name + ".qfi")
    mid = os.path.join(WORK, name + ".mid")
    lines = "".join("%d %d %08x %d\n" % e for e in events)
    subprocess.run([QFTOOL, "write", qfi, "--key", str(key), "--bass", str(bass)],
                   input=lines.encode(), check=True)
    command = [QFTOOL, "export", qfi, mid]
    if instrument is not None:
        command += ["--instrument", str(instrument)]
    if export_key is not None:
        command += ["--key", str(export_key)]
    subprocess.run(command, check=True)
    return mid


def expected_notes(events, key, bass):
    """(tick, kind, channel, note) of every exported note as playback sounds
    it: a press (any message but 257) sounds its key's note with its octave
    shift (outside 0..127 none); a release ends what the latest press of its
    key still sounding sounded (the last four presses of a key are kept, a
    fifth takes the fourth's place), and with none it ends nothing. Each
    wait, with the waits of records that play nothing added in, becomes
    whole ticks."""
    result = []
    ticks = waited = 0
    counts, slots = {}, {}
    for delay, message, key_data, shift in events:
        waited += delay
        scan = (key_data >> 16) & 0xFF
        if scan not in NOTES:
            continue
        count, kept = counts.get(scan, 0), slots.setdefault(scan, [None] * 4)
        if message == 257:
            if count == 0:
                continue
            note, kept[min(count, 4) - 1] = kept[min(count, 4) - 1], None
            counts[scan] = count - 1
            kind = "note_off"
        else:
            note = NOTES[scan] + TRANSPOSITION[key] + 12 * shift - (12 if bass else 0)
            note = note if 0 <= note <= 127 else None
            counts[scan] = min(count + 1, 255)
            kept[min(counts[scan], 4) - 1] = note
            kind = "note_on"
        if note is None:
            continue
        ticks += waited * 1000 * DIVISION // TEMPO
        waited = 0
        result.append((ticks, kind, 15 if bass else 0, note))
    return result


def mido_notes(track):
    """Notes of one track as (tick, kind, channel, note), the silent tail
    note 1 left out, with the track's other messages."""
    notes, others, ticks = [], [], 0
    for msg in track:
        ticks += msg.time
        if msg.type in ("note_on", "note_off") and msg.note != 1:
            check(msg.velocity == 127, "velocity 127: %s" % msg)
            notes.append((ticks, msg.type, msg.channel, msg.note))
        else:
            others.append((ticks, msg))
    return notes, others


def same_notes(got, want, what):
    check(len(got) == len(want), "%s: %d notes, expected %d" % (what, len(got), len(want)))
    for g, w in zip(got, want):
        if g != w:
            check(False, "%s: got %s, expected %s" % (what, g, w))
            break


def check_file(mid, events, key, bass, instrument, what):
    f = mido.MidiFile(mid)
    check(f.type == (1 if bass else 0) and len(f.tracks) == (2 if bass else 1), what + ": type and tracks")
    check(f.ticks_per_beat == DIVISION, what + ": division")
    for t, track in enumerate(f.tracks):
        notes, others = mido_notes(track)
        same_notes(notes, expected_notes(events, key, t == 1), "%s track %d" % (what, t))
        tempos = [m.tempo for _, m in others if m.type == "set_tempo"]
        programs = [(m.channel, m.program) for _, m in others if m.type == "program_change"]
        check(tempos == [TEMPO], what + ": tempo %s" % tempos)
        check(programs == [(15 if t else 0, instrument)], what + ": program %s" % programs)
        check(others[-1][1].type == "end_of_track", what + ": end of track")
    return f


# The worked example: a press of R 1000 ms after the start, released 500 ms later.
example = [(1000, 256, 0x130001, 0), (500, 257, 0xC0130001, 0)]
mid = export("example", example, 1297, 0)
check(os.path.getsize(mid) == 54, "the example is 54 bytes")
check_file(mid, example, 1297, 0, 0, "example")

# Transposed, with the bass track and an instrument; the octave shifts sound,
# and one beyond the MIDI range leaves its note out.
chord = [(0, 256, 0x1E0001, 1), (0, 256, 0x220001, -1), (1000, 257, 0x1E0001, 1), (65000, 257, 0x220001, 0),
         (5, 256, 0x100001, -4), (5, 256, 0x250001, 7)]
mid = export("chord", chord, 1314, 1, instrument=40)
check_file(mid, chord, 1314, 1, 40, "chord in bA major with bass")
mid = export("chord_retuned", chord, 1314, 1, instrument=40, export_key=1302)
check_file(mid, chord, 1302, 1, 40, "chord exported in A major")

# A long recording at random: unplayable scan codes, odd messages, long waits.
rng = random.Random(20240501)
events = []
for _ in range(400):
    scan = rng.choice(list(NOTES) + [0, 1, 14, 29, 42, 54, 60, 255])
    delay = rng.choice([0, 1, 3, 4, 100, 999, 1000, 65000, rng.randrange(0, 5000)])
    events.append((delay, rng.choice([256, 256, 257, 257, 258]), scan << 16 | rng.randrange(0, 2) << 30 | 1,
                   rng.choice([-1, 0, 0, 1, -2])))
key = rng.choice(list(TRANSPOSITION))
mid = export("random", events, key, 1, instrument=73)
check_file(mid, events, key, 1, 73, "random recording")

# Waits beyond the largest delta-time (0x0FFFFFFF ticks), one of them carried
# over a record that plays nothing.
huge = [(0xFFFFFFFF, 256, 0x1E0001, 0), (0xFFFFFFFF, 256, 0x000001, 0), (0xFFFFFFFF, 257, 0x1E0001, 0)]
mid = export("huge", huge, 1297, 1)
f = check_file(mid, huge, 1297, 1, 0, "waits of 2^32 ms")
fillers = [m for m in f.tracks[0] if m.type == "text"]
check(len(fillers) == 12 and all(m.text == "" and m.time == 0x0FFFFFFF for m in fillers),
      "the long waits are carried by 12 empty text events")
# Played through mido's clock, the song lasts the three waits and the tail of
# 399 ticks (1.578 s), less under a tick per wait lost to rounding.
seconds = 3 * 0xFFFFFFFF / 1000.0 + mido.tick2second(399, DIVISION, TEMPO)
check(-0.008 < f.length - seconds <= 0, "length %.3f s, expected %.3f s" % (f.length, seconds))

# midicsv reads the example the same way.
csv = subprocess.run(["midicsv", os.path.join(WORK, "example.mid")], check=True,
                     capture_output=True, text=True).stdout
rows = [[field.strip() for field in line.split(",")] for line in csv.splitlines()]
want = [
    ["0", "0", "Header", "0", "1", "192"],
    ["1", "0", "Start_track"],
    ["1", "0", "Tempo", "759494"],
    ["1", "0", "Program_c", "0", "0"],
    ["1", "252", "Note_on_c", "0", "48", "127"],
    ["1", "378", "Note_off_c", "0", "48", "127"],
    ["1", "777", "Note_on_c", "0", "1", "0"],
    ["1", "777", "Note_off_c", "0", "1", "0"],
    ["1", "777", "End_track"],
    ["0", "0", "End_of_file"],
]
check(rows == want, "midicsv reads the example:\n" + csv)
csv = subprocess.run(["midicsv", os.path.join(WORK, "huge.mid")], check=True,
                     capture_output=True, text=True).stdout
ons = [r for r in csv.splitlines() if "Note_on_c, 0, 60" in r]
check(ons and ons[0].split(",")[1].strip() == str(4294967295 * 192000 // TEMPO), "midicsv: time of the long wait")

if failures:
    print("%d failures" % len(failures))
    sys.exit(1)
print("all exported files read as expected")
