#!/usr/bin/python3
"""`qftool render` beside FluidSynth: a G-major scale typed in jianpu and two
chords written as key events, exported with `qftool export` and rendered by
`fluidsynth -F` with the same General MIDI SoundFont, and rendered by `qftool
render` from the recording. Every note's pitch agrees within 5 cents (and is
the note it should be), and its onset, measured from the time each renderer
was given (the recording's milliseconds; the MIDI file's ticks), within 1 ms.

Then the sound: a MIDI file (two tracks, the tempo changing on the way) of
a note of each program in SOUNDS at velocities 40 and 110 (pans, a bend over
an RPN-0 range of 12 semitones, drums), rendered as it is by both without
reverb and chorus. After one overall level offset (the median difference),
each side of each note is within 1.5 dB of FluidSynth's, each third-octave
band of the note while held within 3 dB (bands within 30 dB of its
strongest), each quick onset (50 to 20 dB below its peak within 5 ms) up to
2.5 ms earlier (FluidSynth starts a note a 64-frame block late) and the bent
note 700.05 cents above FluidSynth's unbent one (FluidSynth's own bend falls
0.8 % short: it reads the range out of 128). FluidSynth 2.3.1 applies no
velocity-to-cutoff modulator of its own (measured); it renders a copy of the
font in which each zone without one carries the format's default.

Then the command's failures: status 1, a message, and no file.

usage: check_render_against_fluidsynth.py QFTOOL WORK_DIR
"""
import os
import shutil
import struct
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
    # Without FluidSynth's reverb and chorus; with this synthesizer's own
    # (the default), whose tail the file's length allows for.
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

# The sound of a MIDI file as it is: (what, program, key, channel, controller 10, bent).
SOUNDS = [("piano", 0, 60, 0, 64, 0), ("piano low", 0, 36, 0, 64, 0), ("piano at pan 96", 0, 60, 1, 96, 0),
          ("piano bent", 0, 60, 2, 64, 7), ("electric piano", 4, 64, 0, 64, 0), ("vibraphone", 11, 72, 0, 64, 0),
          ("church organ", 19, 60, 0, 64, 0), ("clean guitar, resonant", 27, 55, 0, 64, 0),
          ("fingered bass", 33, 40, 0, 64, 0), ("synth bass 1, resonant", 38, 40, 0, 64, 0),
          ("synth bass 2, resonant", 39, 45, 0, 64, 0), ("violin", 40, 67, 0, 64, 0),
          ("strings, a stereo pair", 48, 60, 0, 64, 0), ("synth strings 1, a stereo pair", 50, 60, 0, 64, 0),
          ("synth strings 1 at pan 127", 50, 60, 1, 127, 0), ("voice oohs, resonant", 53, 60, 0, 64, 0),
          ("trumpet", 56, 67, 0, 64, 0), ("oboe at pan 32, its own pan modulator", 68, 72, 1, 32, 0),
          ("flute", 73, 79, 0, 64, 0), ("saw lead", 81, 60, 0, 64, 0), ("halo pad, resonant", 94, 60, 0, 64, 0),
          ("sweep pad", 95, 60, 0, 64, 0), ("goblins", 101, 60, 0, 64, 0), ("reverse cymbal", 119, 60, 0, 64, 0),
          ("helicopter", 125, 60, 0, 64, 0), ("kick", 0, 36, 9, 64, 0), ("snare", 0, 38, 9, 64, 0),
          ("closed hi-hat", 0, 42, 9, 64, 0), ("open hi-hat", 0, 46, 9, 64, 0), ("crash", 0, 49, 9, 64, 0)]


def write_sounds(mid):
    """Track 1: 500000 us a quarter, 750000 from the 17th note on; track 2:
    the notes, 3 s apart, each held 1 s. Returns (what, velocity, s, key)."""
    change = 16 * 3.0
    ticks = lambda s: round(s * 960 if s <= change else change * 960 + (s - change) * 640)
    conductor = mido.MidiTrack([mido.MetaMessage("set_tempo", tempo=500000, time=0),
                                mido.MetaMessage("set_tempo", tempo=750000, time=ticks(change))])
    timed, notes = [], []
    for i, (what, program, key, channel, pan, bend) in enumerate(s for s in SOUNDS for _ in (0, 1)):
        t, velocity = 0.5 + 3.0 * i, (40, 110)[i % 2]
        setup = [("control_change", dict(control=10, value=pan)), ("program_change", dict(program=program))]
        if bend:  # RPN 0 to 12 semitones, then the wheel 7 of them up
            setup += [("control_change", dict(control=c, value=v)) for c, v in ((101, 0), (100, 0), (6, 12), (38, 0))]
            setup.append(("pitchwheel", dict(pitch=round(8192 * bend / 12))))
        timed += [(ticks(t - 0.3), mido.Message(kind, channel=channel, **a)) for kind, a in setup]
        timed += [(ticks(t), mido.Message("note_on", channel=channel, note=key, velocity=velocity)),
                  (ticks(t + 1), mido.Message("note_off", channel=channel, note=key))]
        notes.append((what, velocity, t, key + bend))
    track, last = mido.MidiTrack(), 0
    for tick, message in sorted(timed, key=lambda e: e[0]):
        track.append(message.copy(time=tick - last))
        last = tick
    song = mido.MidiFile(type=1, ticks_per_beat=480)
    song.tracks += [conductor, track]
    song.save(mid)
    return notes


def with_velocity_to_cutoff(font, out):
    """A copy of the font in which each instrument zone without a velocity-to-
    cutoff modulator (nor one in its global zone) has the format's default."""
    data = open(font, "rb").read()

    def chunks(at, end):
        while at + 8 <= end:
            size = struct.unpack("<I", data[at + 4:at + 8])[0]
            yield data[at:at + 4], at + 8, size
            at += 8 + size + (size & 1)
    start, size = next((o, n) for c, o, n in chunks(12, len(data)) if data[o:o + 4] == b"pdta")
    order = [(c, data[o:o + n]) for c, o, n in chunks(start + 4, start + size)]
    part = dict(order)
    records = lambda name, n: [part[name][i:i + n] for i in range(0, len(part[name]), n)]
    bags = [struct.unpack("<HH", b) for b in records(b"ibag", 4)]
    mods, gens = records(b"imod", 10), [struct.unpack("<Hh", g) for g in records(b"igen", 4)]
    firsts = [struct.unpack("<H", i[20:22])[0] for i in records(b"inst", 22)]
    to_cutoff = lambda z: any(m[0] == 2 and m[2:4] == b"\x08\0" for m in mods[bags[z][1]:bags[z + 1][1]])
    new_bags, new_mods = [], []
    for first, end in zip(firsts, firsts[1:]):
        sampled = [any(g == 53 for g, _ in gens[bags[z][0]:bags[z + 1][0]]) for z in range(first, end)]
        covered = end > first and not sampled[0] and to_cutoff(first)
        for z, has_sample in zip(range(first, end), sampled):
            new_bags.append(struct.pack("<HH", bags[z][0], len(new_mods)))
            new_mods += mods[bags[z][1]:bags[z + 1][1]]
            if has_sample and not covered and not to_cutoff(z):
                new_mods.append(struct.pack("<HHhHH", 0x0502, 8, -2400, 0, 0))
    part[b"ibag"] = b"".join(new_bags) + struct.pack("<HH", bags[-1][0], len(new_mods))
    part[b"imod"] = b"".join(new_mods) + bytes(10)
    body = b"pdta" + b"".join(c + struct.pack("<I", len(part[c])) + part[c] for c, _ in order)
    riff = data[12:start - 8] + b"LIST" + struct.pack("<I", len(body)) + body + data[start + size:]
    with open(out, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 4 + len(riff)) + b"sfbk" + riff)


class Stereo(Sound):
    """A WAV file's two sides (x; 16-bit or float), and their sum as a Sound."""

    def __init__(self, path):
        data, at, bits = open(path, "rb").read(), 12, 16
        while data[at:at + 4] != b"data":
            bits = struct.unpack("<H", data[at + 22:at + 24])[0] if data[at:at + 4] == b"fmt " else bits
            at += 8 + struct.unpack("<I", data[at + 4:at + 8])[0]
        body = data[at + 8:at + 8 + struct.unpack("<I", data[at + 4:at + 8])[0]]
        self.x = (np.frombuffer(body, "<f4") if bits == 32 else np.frombuffer(body, "<i2") / 32768.0).reshape(-1, 2)
        self.signal, self.rate = self.x.sum(axis=1), RATE

    def level(self, t):  # dB of each side over the note and its release
        return 10 * np.log10((self.x[int(t * RATE):int((t + 1.5) * RATE)] ** 2).mean(axis=0) + 1e-20)

    def bands(self, t, edges):  # dB of the third-octave bands while held, both sides' energy
        part = self.x[int(t * RATE):int((t + 1) * RATE)]
        energy = sum(np.abs(np.fft.rfft(part[:, c] * np.hanning(len(part)))) ** 2 for c in (0, 1))
        f = np.fft.rfftfreq(len(part), 1 / RATE)
        return np.array([10 * np.log10(energy[(f >= lo) & (f < hi)].sum() + 1e-20) for lo, hi in zip(edges, edges[1:])])

    def start(self, due):  # where it first reaches 50 dB below its peak, and the time from there to 20 dB below
        window = np.abs(self.signal[int((due - 0.01) * RATE):int((due + 1) * RATE)])
        first, steep = (int(np.argmax(window > 10 ** (-db / 20) * window.max())) for db in (50, 20))
        return due - 0.01 + first / RATE, (steep - first) / RATE


def compare_sounds():
    mid, ours, theirs, font = (path(n) for n in ("sounds.mid", "sounds.wav", "sounds-fluidsynth.wav", "font.sf2"))
    notes = write_sounds(mid)
    with_velocity_to_cutoff(FONT, font)
    result = run("fluidsynth", "-ni", "-R", "0", "-C", "0", "-r", str(RATE), "-o", "audio.file.format=float",
                 "-F", theirs, font, mid)
    check(result.returncode == 0 and os.path.exists(theirs), "fluidsynth renders the sounds: %s" % result.stderr)
    result = run(QFTOOL, "render", mid, ours, "--reverb", "0", "--chorus", "0")
    check(result.returncode == 0 and result.stderr == "", "qftool render of the sounds: %s" % result.stderr)
    if failures:
        return
    q, f = Stereo(ours), Stereo(theirs)
    edges = [50 * 2 ** (i / 3) for i in range(29)]  # 50 Hz to 16 kHz
    levels = [(q.level(t), f.level(t)) for _, _, t, _ in notes]
    offset = np.median([lq[c] - lf[c] for lq, lf in levels for c in (0, 1) if lf[c] > max(lf) - 30])
    piano = f.pitch(notes[1][2], hz(60))
    for (what, velocity, t, key), (lq, lf) in zip(notes, levels):
        name = "%s at velocity %d" % (what, velocity)
        for c in (0, 1):  # a side 30 dB down is a hard pan's leak
            check(lf[c] < max(lf) - 30 or abs(lq[c] - lf[c] - offset) <= 1.5,
                  "%s: side %d %.1f dB from FluidSynth's" % (name, c, lq[c] - lf[c] - offset))
        bq, bf = q.bands(t, edges), f.bands(t, edges)
        for lo, dq, df in zip(edges, bq, bf):
            check(df < bf.max() - 30 or abs(dq - df - offset) <= 3,
                  "%s: the band at %.0f Hz %.1f dB from FluidSynth's" % (name, lo, dq - df - offset))
        (start_q, _), (start_f, attack) = q.start(t), f.start(t)
        check(attack >= 0.005 or 0 <= start_f - start_q <= 0.0025,
              "%s: starts %.2f ms before FluidSynth's" % (name, (start_f - start_q) * 1000))
        if what == "piano bent":
            check(abs(cents(q.pitch(t, hz(key)), piano) - 700.05) <= 5, "%s: %.2f Hz" % (name, q.pitch(t, hz(key))))
    print("%d notes compared with FluidSynth, overall level offset %.2f dB" % (len(notes), offset))


compare_sounds()

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
