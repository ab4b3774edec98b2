#!/usr/bin/python3
"""A song typed in jianpu, converted to a recording and exported as MIDI, read
back by mido: the notes are the score's, each lasts its written length less
the 30 ms release gap (within one tick), the recording's own delays put every
note on its beat to the millisecond, and `qftool keys` lists the keys to play.

usage: check_jianpu_round_trip.py QFTOOL WORK_DIR
"""
import os
import subprocess
import sys

import mido

QFTOOL, WORK = sys.argv[1], sys.argv[2]
os.makedirs(WORK, exist_ok=True)
TEMPO, DIVISION = 759494, 192
TICK = mido.tick2second(1, DIVISION, TEMPO)

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def qftool(*args):
    return subprocess.run([QFTOOL] + list(args), capture_output=True, text=True)


# Ode to Joy in 1=G at 120 beats a minute: 1 is G4 (67), a beat 500 ms.
SCORE = """title=欢乐颂
1=G 4=120 4/4
3 3 4 5 | 5 4 3 2 | 1 1 2 3 | 3. q2 2 - |   % 一
3 3 4 5 | 5 4 3 2 | 1 1 2 3 | 2. q1 1 - ||
L: 欢 乐 女 神 美 丽 的 神 光
"""
PHRASE = [(71, 1), (71, 1), (72, 1), (74, 1), (74, 1), (72, 1), (71, 1), (69, 1),
          (67, 1), (67, 1), (69, 1), (71, 1)]
SONG = PHRASE + [(71, 1.5), (69, 0.5), (69, 2)] + PHRASE + [(69, 1.5), (67, 0.5), (67, 2)]
KEY_OF = {67: "A 1", 69: "S 2", 71: "D 3", 72: "F 4", 74: "G 5"}

score = os.path.join(WORK, "ode.txt")
qfi = os.path.join(WORK, "ode.qfi")
mid = os.path.join(WORK, "ode.mid")
with open(score, "w", encoding="utf-8") as f:
    f.write(SCORE)
for command in (["jianpu", score, qfi], ["export", qfi, mid]):
    result = qftool(*command)
    check(result.returncode == 0, "qftool %s: %s" % (command[0], result.stderr))

# mido: the notes, and each note's length as the delta-time of its note-off.
track = mido.MidiFile(mid).tracks[0]
notes = [m for m in track if m.type in ("note_on", "note_off") and m.note != 1]
ons = [m.note for m in notes if m.type == "note_on"]
check(ons == [n for n, _ in SONG], "the exported notes: %s" % ons)
for i, (_, beats) in enumerate(SONG):
    if 2 * i + 1 >= len(notes):
        break
    off = notes[2 * i + 1]
    sounding = mido.tick2second(off.time, DIVISION, TEMPO)
    want = beats * 0.5 - 0.030
    check(off.type == "note_off" and abs(sounding - want) <= TICK,
          "note %d lasts %.4f s, expected %.3f s" % (i, sounding, want))

# The recording's delays: every press on its beat, to the millisecond.
info = qftool("info", qfi).stdout.splitlines()
check(info[:3] == ["events %d" % (2 * len(SONG)), "key 1301", "autobass 0"], "info header: %s" % info[:3])
now, presses = 0, []
for line in info[3:]:
    delay, message, key_data, shift = line.split()
    now += int(delay)
    if message == "256":
        presses.append(now)
beat, onsets = 0.0, []
for _, beats in SONG:
    onsets.append(int(beat * 500))
    beat += beats
check(presses == onsets, "onsets %s, expected %s" % (presses, onsets))

# The keys to press: the home row plays the song, in time.
want = ["%d.%03d  %s" % (t // 1000, t % 1000, KEY_OF[n]) for t, (n, _) in zip(onsets, SONG)]
got = qftool("keys", qfi).stdout.splitlines()
check(got == want, "keys:\n%s" % "\n".join(got))

# Chords within 30 ms of a line's first press, the shifts, the octave marks;
# releases and presses that play nothing are left out, their time counted.
events = [(0, 256, 0x1E0001, 1), (10, 256, 0x200001, 1), (20, 256, 0x220001, 1), (31, 256, 0x230001, 0),
          (439, 257, 0xC01E0001, 1), (1000, 256, 0x020001, -1), (0, 256, 0x360001, 0), (500, 256, 0x280001, 0),
          (0, 256, 0x1F0001, 2)]
chords = os.path.join(WORK, "chords.qfi")
subprocess.run([QFTOOL, "write", chords, "--key", "1314"], input="".join("%d %d %08x %d\n" % e for e in events),
               text=True, check=True)
got = qftool("keys", chords).stdout.splitlines()
check(got == ["0.000  Shift+A 1'  Shift+D 3'  Shift+G 5'", "0.061  H 6", "1.500  Ctrl+1 b5,,,", "2.000  ' 4'"],
      "keys of chords and shifts:\n%s" % "\n".join(got))

# A note out of reach: the place on stderr, status 1, the earlier file kept.
bad = os.path.join(WORK, "bad.txt")
with open(bad, "w", encoding="utf-8") as f:
    f.write("1=G\n1 1'''\n")
before = open(qfi, "rb").read()
result = qftool("jianpu", bad, qfi)
check(result.returncode == 1 and result.stderr.startswith(bad + ":2:3: "), "out of reach: %s" % result.stderr)
check(open(qfi, "rb").read() == before, "a failed conversion leaves the earlier file as it was")

if failures:
    print("%d failures" % len(failures))
    sys.exit(1)
print("the song went through jianpu, export and keys as written")
