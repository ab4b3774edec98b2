"""The key table of keymap.tsv beside this file, for the Python test suites:
scan code -> (key on a US keyboard, octave, semitone, label, row, column,
note in C major)."""
import os


def read_key_table():
    table = {}
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "keymap.tsv"), encoding="utf-8") as f:
        for line in f:
            if line.strip() and not line.startswith("#"):
                scan, key, octave, semitone, label, row, column, note = line.rstrip("\n").split("\t")
                table[int(scan)] = (key, int(octave), int(semitone), label, int(row), int(column), int(note))
    return table
