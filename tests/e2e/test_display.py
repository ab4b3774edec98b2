"""The main window's picture as the player sees it: the key caps light up in
the colour of the octave shift and turn grey on release or repaint, the
window's green, and the instrument picture following the instrument and the
percussion channel."""
import os
import subprocess
import time

from harness import expect, expect_equal, expect_soon, wait_until
from common import key_cell_screen, KEY_CELLS

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
STRIP = os.path.join(ROOT, "resources", "instruments.bmp")

GROUND = (20, 100, 20)
IDLE, SOUNDING, RAISED, LOWERED = (239, 239, 240), (208, 239, 255), (244, 218, 231), (216, 243, 228)
S, L, K = 31, 38, 37  # "2" of octave 5, "2" of octave 6 (dot above), "1" of octave 6


def rgb(path, x, y, width, height):
    """The pixels of a region as rows of (r, g, b)."""
    data = subprocess.run(["convert", path, "-crop", f"{width}x{height}+{x}+{y}", "+repage", "-depth", "8",
                           "rgb:-"], capture_output=True, timeout=30, check=True).stdout
    expect_equal(width * height * 3, len(data), f"the size of a {width} x {height} crop")
    return [[tuple(data[(r * width + c) * 3:(r * width + c) * 3 + 3]) for c in range(width)]
            for r in range(height)]


def cell(path, left, top):
    return rgb(path, left, top, 38, 39)


def face(pixels):
    """The cap's face beside its label, left and lower right."""
    return pixels[19][8], pixels[30][30]


def dark_mask(pixels, top, bottom, first=3, last=35):
    """Where the label (or a dot) is inside the cap's dark outline, as a set
    of (row, column): pixels at less than half the face's brightness, which
    marks the same smoothed glyph on every cap colour."""
    limit = sum(pixels[19][8]) / 2
    return {(r, c) for r in range(top, bottom) for c in range(first, last) if sum(pixels[r][c]) < limit}


def shot_when(app, left, top, ready, timeout=5):
    """The key cell at (left, top) of the first screenshot for which ready(cell)
    holds, or of the last one taken."""
    seen = [None]

    def probe():
        seen[0] = cell(app.screenshot(), left, top)
        return ready(seen[0])

    wait_until(probe, timeout, 0.1)
    return seen[0]


def key_cells(app):
    """Screen (left, top) of every key's cell."""
    cells = {}
    left, top = key_cell_screen(app, S)
    row, column = KEY_CELLS[S]
    for scan, (r, c) in KEY_CELLS.items():
        cells[scan] = (left + 19 * (c - column), top + 39 * (r - row))
    return cells


def test_key_caps_follow_the_octave_shift(h):
    app = h.start()
    left, top = key_cell_screen(app, S)
    idle_shot = app.screenshot()
    idle = cell(idle_shot, left, top)
    expect_equal((IDLE, IDLE), face(idle), "S at rest")
    label = dark_mask(idle, 5, 34)
    expect(label, "S carries a label")
    # The same "2" as on L, whose octave dot stands above the label.
    l_left, l_top = key_cell_screen(app, L)
    expect_equal(dark_mask(idle, 8, 34), dark_mask(cell(idle_shot, l_left, l_top), 8, 34),
                 "the label of S is that of L")
    expect(not dark_mask(idle, 2, 8, 14, 24), "no dot above S (octave 5)")

    for modifier, colour, what in ((None, SOUNDING, "blue"), ("shift", RAISED, "red"), ("ctrl", LOWERED, "green")):
        if modifier:
            app.keydown(modifier)
        app.keydown("s")
        down = shot_when(app, left, top, lambda c: face(c) == (colour, colour))
        app.keyup("s")
        if modifier:
            app.keyup(modifier)
        up = shot_when(app, left, top, lambda c: face(c) == (IDLE, IDLE))
        expect_equal((colour, colour), face(down), f"S sounding shows the {what} cap")
        expect_equal(label, dark_mask(down, 5, 34), f"the {what} cap carries the same label")
        expect_equal((IDLE, IDLE), face(up), f"S released after {what} is grey again")
        expect_equal(label, dark_mask(up, 5, 34), "the released cap carries its label")


def test_repaint_shows_every_key_grey_on_green(h):
    app = h.start()
    cx, cy, width, height = app.client()
    app.keydown("shift")
    app.keydown("s")
    app.keyup("shift")
    app.keydown("k")          # latched: red too
    k_left, k_top = key_cell_screen(app, K)
    shot = wait_until(lambda: (lambda s: face(cell(s, k_left, k_top)) == (RAISED, RAISED) and s)(app.screenshot()),
                      5, 0.1) or app.screenshot()
    for scan in (S, K):
        left, top = key_cell_screen(app, scan)
        expect_equal((RAISED, RAISED), face(cell(shot, left, top)), f"key {scan} held with Shift")
    app.key("Escape")         # silences and repaints while both are still down
    s_left, s_top = key_cell_screen(app, S)
    shot = wait_until(lambda: (lambda s: face(cell(s, s_left, s_top)) == (IDLE, IDLE) and
                               face(cell(s, k_left, k_top)) == (IDLE, IDLE) and s)(app.screenshot()),
                      5, 0.1) or app.screenshot()
    app.keyup("s")
    app.keyup("k")
    cells = key_cells(app)
    for scan in sorted(KEY_CELLS):
        left, top = cells[scan]
        expect_equal((IDLE, IDLE), face(cell(shot, left, top)), f"key {scan} after the repaint")
    # K keeps its octave dot above the label.
    left, top = key_cell_screen(app, K)
    expect(dark_mask(cell(shot, left, top), 3, 7, 17, 21), "the dot above K")

    # The window's green: an empty place of the picture, beside it, and low in the window.
    left, top = key_cell_screen(app, 30)          # A, row 2 column 2
    points = [(left - 38 + 19, top + 19),           # row 2 column 0 is empty
              (cx + 20, cy + height // 2), (cx + width // 2, cy + height - 10)]
    for x, y in points:
        expect_equal(GROUND, rgb(shot, x, y, 1, 1)[0][0], f"the background at ({x}, {y})")


def test_instrument_picture_follows_instrument_and_channel(h):
    app = h.start()
    cx, cy, width, _ = app.client()
    left = cx + (width - 171) // 2
    top = cy + 50
    strip = [rgb(STRIP, 171 * n, 0, 171, 141) for n in range(15)]

    def shown():
        pixels = rgb(app.screenshot(), left, top, 171, 141)
        return [n for n in range(15) if strip[n] == pixels]

    expect_soon([0], shown, "the grand piano at start")
    for program, picture in ((40, 5), (79, 9), (80, 10), (103, 10), (104, 11), (127, 13)):
        app.command(1024 + program)
        expect_soon([picture], shown, f"the picture of program {program}")
    app.command(768 + 9)      # channel 10
    expect_soon([14], shown, "the percussion channel's bongos")
    app.command(1024 + 0)
    time.sleep(0.3)           # a repaint that would bring the piano back
    expect_soon([14], shown, "channel 10 keeps the bongos")
    app.command(768 + 0)
    expect_soon([0], shown, "back on channel 1, the piano")

    # The instrument and key are written in red right of the picture.
    shot = app.screenshot()
    text = rgb(shot, left + 171, cy + 115, 120, 16)
    reds = sum(1 for row in text for p in row if p == (255, 0, 0))
    expect(reds > 20, "the instrument and key beside the picture", "> 20 red pixels", reds)
