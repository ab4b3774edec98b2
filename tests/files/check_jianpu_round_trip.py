#!/usr/bin/python3
"""A song typed in jianpu, converted to a recording and exported as MIDI, read
back by mido: the notes are the score's, each lasts its written length less
the 30 ms release gap (within one tick), the recording's own delays put every
note on its beat to the millisecond, and `qftool keys` lists the keys to play.
MIDI files in: a recording exported and imported again gives the same presses
and releases, and a multi-track file written by mido imports to the notes
mido reads from it.

usage: check_jianpu_round_trip.py QFTOOL WORK_DIR
"""
import os
import subprocess
import sys

import mido

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data"))
from key_table import read_key_table  # noqa: E402

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

# A three-octave scale with Ctrl and Shift: exported at the pitch it sounds,
# then imported again: the same keys, shifts and order, each time where the
# export's whole ticks put it.
scale = os.path.join(WORK, "scale.txt")
with open(scale, "w", encoding="utf-8") as f:
    f.write("1=C 4=200\n1,, 2,, 1, 2, 3, 4, 5, 6, 7, 1 2 3 4 5 6 7 1' 2' 3' 4' 5' 6' 7' 1'' 2'' 3''\n")
scale_qfi, scale_mid, back = (os.path.join(WORK, n) for n in ("scale.qfi", "scale.mid", "scale-back.qfi"))
for command in (["jianpu", scale, scale_qfi], ["export", scale_qfi, scale_mid], ["import", scale_mid, back, "--key", "1297"]):
    result = qftool(*command)
    check(result.returncode == 0 and not result.stderr, "qftool %s: %s" % (command[0], result.stderr))
pitches = [m.note for m in mido.MidiFile(scale_mid).tracks[0] if m.type == "note_on" and m.velocity]
check(pitches == [36, 38] + [48 + n for n in range(0, 36) if n % 12 in (0, 2, 4, 5, 7, 9, 11)] + [84, 86, 88],
      "the exported scale: %s" % pitches)


def events_of(path):
    return [line.split() for line in qftool("info", path).stdout.splitlines()[3:]]


original, again = events_of(scale_qfi), events_of(back)
check([e[1:] for e in original] == [e[1:] for e in again], "keys, shifts and order after export and import")
ticks, want, got, now = 0, [], [], 0
for e, g in zip(original, again):
    ticks += int(e[0]) * 192000 // TEMPO
    want.append(((ticks * TEMPO + 96) // 192 + 500) // 1000)
    now += int(g[0])
    got.append(now)
check(got == want, "times after export and import: %s, expected %s" % (got[:8], want[:8]))

# A file from mido: three tracks, tempo changes, velocity-0 ends, system
# exclusive, percussion, a note out of reach, a note struck again while its
# key is down (on another channel).
song = mido.MidiFile(type=1, ticks_per_beat=500)
conductor, melody, other = mido.MidiTrack(), mido.MidiTrack(), mido.MidiTrack()
song.tracks += [conductor, melody, other]
conductor += [mido.MetaMessage("set_tempo", tempo=500000, time=0), mido.MetaMessage("set_tempo", tempo=600000, time=1003),
              mido.Message("sysex", data=[1, 2, 3], time=7), mido.MetaMessage("set_tempo", tempo=400000, time=1331)]
for note, length in [(67, 250), (69, 251), (71, 499), (72, 333), (74, 1001), (76, 77), (79, 500), (120, 20)]:
    melody += [mido.Message("note_on", note=note, velocity=80, time=0),
               mido.Message("note_on", note=note, velocity=0, time=length)]
other += [mido.Message("note_on", channel=9, note=36, velocity=100, time=10),
          mido.Message("note_on", channel=2, note=55, velocity=70, time=490),
          mido.Message("note_on", channel=3, note=55, velocity=70, time=333),
          mido.Message("note_off", channel=2, note=55, time=100),
          mido.Message("note_off", channel=3, note=55, time=1200),
          mido.Message("note_on", channel=2, note=43, velocity=70, time=1)]
outside = os.path.join(WORK, "mido.mid")
song.save(outside)
TABLE = read_key_table()


def choose_key(note, transposition=0):
    """The key and shift that play a note: no shift, else Shift, else Ctrl; the
    home and letter rows first, then the lowest scan code."""
    for shift in (0, 1, -1):
        found = sorted((k[4] not in (1, 2), scan) for scan, k in TABLE.items()
                       if k[6] + transposition + 12 * shift == note)
        if found:
            return found[0][1], shift
    return None


expected, holder, now, left_out, last = [], {}, 0, 0, 0
for msg in song:  # mido's own merge of the tracks, timed in seconds
    now += msg.time
    if msg.type not in ("note_on", "note_off") or msg.channel == 9:
        continue
    ms = int(now * 1000 + 0.5)
    last = ms
    start = msg.type == "note_on" and msg.velocity > 0
    key = choose_key(msg.note)
    if key is None:
        left_out += start
        continue
    scan, shift = key
    if start:
        if scan in holder:
            expected.append((ms, 257, scan, holder.pop(scan)[1]))
        expected.append((ms, 256, scan, shift))
        holder[scan] = ((msg.channel, msg.note), shift)
    elif holder.get(scan, (None,))[0] == (msg.channel, msg.note):
        expected.append((ms, 257, scan, holder.pop(scan)[1]))
expected += [(last, 257, scan, holder[scan][1]) for scan in sorted(holder)]
imported = os.path.join(WORK, "mido.qfi")
result = qftool("import", outside, imported, "--key", "1=C")
check(result.returncode == 0 and result.stderr == "qftool: %s: 1 note left out: no key reaches it in 1=C\n" % outside,
      "import of mido's file: %s" % result.stderr)
now, got = 0, []
for delay, message, key_data, shift in events_of(imported):
    now += int(delay)
    got.append((now, int(message), int(key_data, 16) >> 16 & 0xFF, int(shift)))
check(left_out == 1 and got == expected, "mido's file imported:\n%s\nexpected\n%s" % (got, expected))
check(qftool("keys", outside).stdout.splitlines()[:2] == ["0.000  G 5", "0.250  H 6"],
      "keys reads a MIDI file directly, in the key that puts most notes on unshifted keys")

if failures:
    print("%d failures" % len(failures))
    sys.exit(1)
print("the song went through jianpu, export and keys as written")
