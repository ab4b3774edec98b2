#!/usr/bin/python3
"""`qftool render` of a MIDI song beside `fluidsynth -F`, in one run: the
native qftool and qftool.exe under Wine, each with the reverb on and off,
and FluidSynth with its reverb on and off (its chorus off; this
synthesizer's chorus stays on, as it is by default). The song: a minute of a
band written with mido (piano chords, a string pad, bass, a brass line and
the drums on channel 10, at the channels' power-on reverb send). Each figure
is the best of five runs, timed as the processor time (user and system) the
program used, which the other work on a shared machine disturbs less than the
clock, with the start-up of each program (timed on a song of one short note,
best of five) taken off; figures are multiples of real time at 48 kHz.

usage: render_bench.py QFTOOL QFTOOL_EXE WORK_DIR   (in a Wine session, as
scripts/wine-session.sh prepares one; QFTOOL_EXE may be - to leave it out)
"""
import os
import resource
import subprocess
import sys

import mido

QFTOOL, QFTOOL_EXE, WORK = sys.argv[1], sys.argv[2], sys.argv[3]
FONT = "/usr/share/sounds/sf2/TimGM6mb.sf2"
WINE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts", "wine-run.sh")
SECONDS = 60
os.makedirs(WORK, exist_ok=True)


def song(path, seconds):
    """The band for the given seconds, 120 crotchets a minute, 480 ticks each."""
    events = []
    for channel, program in ((0, 0), (1, 48), (2, 33), (3, 61)):
        events.append((0, mido.Message("program_change", channel=channel, program=program)))
    chords = ((48, 52, 55, 60), (45, 48, 52, 57), (41, 45, 48, 53), (43, 47, 50, 55))
    for beat in range(seconds * 2):
        tick, chord = beat * 480, chords[beat // 4 % 4]
        for key in chord:  # piano on each beat
            events += [(tick, mido.Message("note_on", channel=0, note=key + 12, velocity=80)),
                       (tick + 400, mido.Message("note_off", channel=0, note=key + 12))]
        if beat % 4 == 0:  # strings held over the bar, bass on its first beat
            for key in chord:
                events += [(tick, mido.Message("note_on", channel=1, note=key, velocity=70)),
                           (tick + 1900, mido.Message("note_off", channel=1, note=key))]
            events += [(tick, mido.Message("note_on", channel=2, note=chord[0] - 12, velocity=100)),
                       (tick + 900, mido.Message("note_off", channel=2, note=chord[0] - 12))]
        if beat % 8 == 6:  # a brass figure
            for i, key in enumerate((67, 69, 72)):
                events += [(tick + 160 * i, mido.Message("note_on", channel=3, note=key, velocity=90)),
                           (tick + 160 * i + 150, mido.Message("note_off", channel=3, note=key))]
        for half, drum in enumerate((36 if beat % 2 == 0 else 38, 42)):  # kick or snare, and the hi-hat
            events += [(tick + 240 * half, mido.Message("note_on", channel=9, note=drum, velocity=100)),
                       (tick + 240 * half + 100, mido.Message("note_off", channel=9, note=drum))]
    track, last = mido.MidiTrack(), 0
    for tick, message in sorted(events, key=lambda e: e[0]):
        track.append(message.copy(time=tick - last))
        last = tick
    midi = mido.MidiFile(ticks_per_beat=480)
    midi.tracks.append(track)
    midi.save(path)


def best(command):
    """The shortest of five runs of command, in seconds of processor time."""
    def used():
        u = resource.getrusage(resource.RUSAGE_CHILDREN)
        return u.ru_utime + u.ru_stime
    times = []
    for _ in range(5):
        start = used()
        result = subprocess.run(command, capture_output=True)
        times.append(used() - start)
        if result.returncode != 0:
            sys.exit("failed: %s: %s" % (" ".join(command), result.stderr.decode(errors="replace")))
    return min(times)


tiny, band = os.path.join(WORK, "tiny.mid"), os.path.join(WORK, "band.mid")
mid = mido.MidiFile(ticks_per_beat=480)
mid.tracks.append(mido.MidiTrack([mido.Message("note_on", note=60, velocity=64, time=0),
                                  mido.Message("note_off", note=60, time=10)]))
mid.save(tiny)
song(band, SECONDS)
out = os.path.join(WORK, "out.wav")
renderers = [("qftool (native)", [QFTOOL, "render", "%s", out, "--sf2", FONT, "--reverb", "%r"])]
if QFTOOL_EXE != "-":
    renderers.append(("qftool.exe (Wine)", [WINE, QFTOOL_EXE, "render", "%s", out, "--sf2", FONT, "--reverb", "%r"]))
renderers.append(("fluidsynth -F", ["fluidsynth", "-ni", "-q", "-R", "%r", "-C", "0", "-r", "48000", "-F", out,
                                    FONT, "%s"]))
print("%-20s %10s %14s %14s %12s" % ("renderer", "start-up s", "reverb off x", "reverb on x", "reverb cost"))
for name, template in renderers:
    def command(path, reverb):
        return [path if a == "%s" else ("1" if reverb else "0") if a == "%r" else a for a in template]
    startup = best(command(tiny, False))
    off, on = (best(command(band, reverb)) - startup for reverb in (False, True))
    print("%-20s %10.3f %14.1f %14.1f %11.0f%%" % (name, startup, SECONDS / off, SECONDS / on, 100 * (on - off) / off))
