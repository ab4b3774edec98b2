#!/usr/bin/python3
"""`qftool render` beside FluidSynth: a G-major scale typed in jianpu and two
chords written as key events, exported with `qftool export` and rendered by
`fluidsynth -F` with the same General MIDI SoundFont, and rendered by `qftool
render` from the recording. Every note's pitch agrees within 5 cents (and is
the note it should be), and its onset, measured from the time each renderer
was given (the recording's milliseconds; the MIDI file's ticks), within 1 ms.
Then the command's failures: status 1, a message, and no file.

usage: check_render_against_fluidsynth.py QFTOOL WORK_DIR
"""
import os
import shutil
import subprocess
import sys
import wave

import mido
import numpy as np

QFTOOL, WORK = sys.argv[1], sys.argv[2]
FONT = "/usr/share/sounds/sf2/TimGM6mb.sf2"
RATE = 48000
# FluidSynth starts notes on its 64-frame blocks: at 96 kHz they are 0.67 ms.
FLUID_RATE = 96000
shutil.rmtree(WORK, ignore_errors=True)
os.makedirs(WORK)
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def run(*args, stdin=None):
    return subprocess.run(list(args), input=stdin, capture_output=True, text=True)


def path(name):
    return os.path.join(WORK, name)


class Sound:
    """A 16-bit stereo WAV file as one channel of floats, with its rate."""

    def __init__(self, wav, rate):
        with wave.open(wav) as w:
            check(w.getnchannels() == 2 and w.getsampwidth() == 2, "%s is 16-bit stereo" % wav)
            check(w.getframerate() == rate, "%s is at %d Hz" % (wav, rate))
            frames = np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").astype(np.float64)
        self.signal, self.rate = frames.reshape(-1, 2).sum(axis=1) / 65536.0, rate

    def seconds(self):
        return len(self.signal) / self.rate

    def onset(self, due):
        """The first frame near due where the sound reaches a tenth of its peak."""
        start = max(0, int((due - 0.010) * self.rate))
        window = np.abs(self.signal[start:int((due + 0.060) * self.rate)])
        return (start + int(np.argmax(window > 0.1 * window.max()))) / self.rate

    def pitch(self, at, near):
        """The strongest frequency within half a semitone of near, from 50 to
        350 ms after at (Hann window, zero-padded spectrum, parabolic peak)."""
        segment = self.signal[int((at + 0.05) * self.rate):int((at + 0.35) * self.rate)]
        size = 1 << 20
        spectrum = np.abs(np.fft.rfft(segment * np.hanning(len(segment)), size))
        low, high = (int(near * 2 ** (s / 24) * size / self.rate) for s in (-1, 1))
        k = low + int(np.argmax(spectrum[low:high]))
        a, b, c = np.log(spectrum[k - 1:k + 2])
        return (k + 0.5 * (a - c) / (a - 2 * b + c)) * self.rate / size


def cents(f, g):
    return 1200 * np.log2(f / g)


def hz(note):
    return 440.0 * 2 ** ((note - 69) / 12)


def recorded_presses(qfi):
    """The time in seconds of each press of the recording, from qftool info."""
    lines = run(QFTOOL, "info", qfi).stdout.splitlines()[3:]
    times, ms = [], 0
    for line in lines:
        delay, message = line.split()[:2]
        ms += int(delay)
        if message == "256":
            times.append(ms / 1000)
    return times


def midi_notes(mid):
    """(seconds, note) of each note-on of the MIDI file, the end marker left out."""
    notes, t = [], 0.0
    for message in mido.MidiFile(mid):
        t += message.time
        if message.type == "note_on" and message.velocity > 0 and message.note != 1:
            notes.append((t, message.note))
    return notes


def compare(name, chord_size):
    """Renders name.qfi both ways and compares each press's notes."""
    qfi, mid, ours, theirs = (path(name + ext) for ext in (".qfi", ".mid", ".wav", "-fluidsynth.wav"))
    result = run(QFTOOL, "export", qfi, mid)
    check(result.returncode == 0, "qftool export %s: %s" % (name, result.stderr))
    # Without its reverb and chorus: this synthesizer has neither.
    result = run("fluidsynth", "-ni", "-R", "0", "-C", "0", "-r", str(FLUID_RATE), "-F", theirs, FONT, mid)
    check(result.returncode == 0 and os.path.exists(theirs), "fluidsynth renders %s: %s" % (name, result.stderr))
    # No --sf2: the tool finds the system's General MIDI font itself.
    result = run(QFTOOL, "render", qfi, ours)
    check(result.returncode == 0 and result.stderr == "", "qftool render %s: %s" % (name, result.stderr))
    if failures:
        return
    q, f = Sound(ours, RATE), Sound(theirs, FLUID_RATE)
    presses, notes = recorded_presses(qfi), midi_notes(mid)
    check(len(notes) == len(presses), "%s: %d notes exported, %d presses" % (name, len(notes), len(presses)))
    for i in range(0, len(presses), chord_size):
        due_q, (due_f, _) = presses[i], notes[i]
        late_q, late_f = q.onset(due_q) - due_q, f.onset(due_f) - due_f
        check(abs(late_q - late_f) <= 0.001,
              "%s at %.3f s: onset %.2f ms after its time here, %.2f ms in FluidSynth"
              % (name, due_q, late_q * 1000, late_f * 1000))
        for _, note in notes[i:i + chord_size]:
            pq, pf = q.pitch(due_q, hz(note)), f.pitch(due_f, hz(note))
            check(abs(cents(pq, pf)) <= 5,
                  "%s note %d at %.3f s: %.2f Hz here, %.2f Hz in FluidSynth" % (name, note, due_q, pq, pf))
            check(abs(cents(pq, hz(note))) <= 30, "%s note %d sounds at %.2f Hz" % (name, note, pq))
    # The file ends once the last note has died away: not long after FluidSynth's.
    check(q.seconds() < f.seconds() + 2, "%s: %.2f s rendered, FluidSynth %.2f s" % (name, q.seconds(), f.seconds()))


# The scale in 1=G, each note alone after a rest, from a quarter of a
# second in (a renderer's first block may start late).
with open(path("scale.txt"), "w", encoding="utf-8") as score:
    score.write("title=G大调音阶\n1=G 4=100\nq0 1 0 2 0 3 0 4 0 | 5 0 6 0 7 0 1' 0 |\n")
result = run(QFTOOL, "jianpu", path("scale.txt"), path("scale.qfi"))
check(result.returncode == 0, "qftool jianpu: %s" % result.stderr)
compare("scale", 1)

# Two chords in 1=G: A D G (1 3 5), then J K ; (7 1' 3'),
# each pressed within a millisecond and held for 1.5 s.
chords = "".join(
    "%d 256 00%02x0001 0\n" % (delay, scan) for delay, scan in ((250, 30), (0, 32), (1, 34)))
chords += "".join("%d 257 c0%02x0001 0\n" % (delay, scan) for delay, scan in ((1500, 30), (0, 32), (0, 34)))
chords += "".join("%d 256 00%02x0001 0\n" % (delay, scan) for delay, scan in ((700, 36), (0, 37), (0, 39)))
chords += "".join("%d 257 c0%02x0001 0\n" % (delay, scan) for delay, scan in ((1500, 36), (0, 37), (0, 39)))
result = run(QFTOOL, "write", path("chords.qfi"), "--key", "1301", stdin=chords)
check(result.returncode == 0, "qftool write chords: %s" % result.stderr)
compare("chords", 3)

# Failures: status 1, a message naming the problem, and no file written.
with open(FONT, "rb") as f:
    font = f.read()
with open(path("cut.sf2"), "wb") as f:
    f.write(font[:len(font) // 2])
cases = [
    (["--sf2", path("missing.sf2")], "cannot open the SoundFont"),
    (["--sf2", path("cut.sf2")], "is damaged"),
    (["--key", "1306"], "none of the 24 keys"),
    (["--rate", "8000"], "bad or repeated option --rate 8000"),
]
for extra, words in cases:
    out = path("failed.wav")
    result = run(QFTOOL, "render", path("scale.qfi"), out, *extra)
    check(result.returncode == 1 and words in result.stderr, "render %s: %s" % (extra, result.stderr.strip()))
    check(not os.path.exists(out), "render %s wrote nothing" % extra)
result = run(QFTOOL, "render", path("scale.qfi"), path("no-such-folder/out.wav"))
check(result.returncode == 1 and "cannot create" in result.stderr, "unwritable output: %s" % result.stderr.strip())
check(not any(n.endswith(".tmp") for n in os.listdir(WORK)), "no temporary file is left behind")

if failures:
    print("%d failures" % len(failures))
    sys.exit(1)
print("qftool render agrees with FluidSynth")
