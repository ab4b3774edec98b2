"""Helpers shared by the end-to-end tests: message boxes, the keyboard
picture's geometry, and the MIDI log's short texts."""
import os
import sys
import time

from harness import expect, run, wait_until


def note_on(note, channel=0, velocity=0x7F):
    return "%02x %02x %02x" % (0x90 + channel, note, velocity)


def note_off(note, channel=0):
    return "%02x %02x 00" % (0x80 + channel, note)


ALL_NOTES_OFF = ["%02x 7b 00" % (0xB0 + c) for c in range(16)]

# The playable keys from the shared key table: scan code -> (key on a US
# keyboard, label, row, column, note in C major); and the cell of each in the
# keyboard picture.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data"))
from key_table import read_key_table  # noqa: E402
KEYS = {scan: (k[0], k[3], k[4], k[5], k[6]) for scan, k in read_key_table().items()}
KEY_CELLS = {scan: (k[2], k[3]) for scan, k in KEYS.items()}


def box_text(app, title, timeout=10):
    """The text of the message box titled title."""
    app.wait_window(title, timeout=timeout)
    children = app.children(title)
    texts = [c[4] for ident, c in children.items() if c[0].lower() == "static" and c[4]]
    expect(texts, f"the box {title} shows a text", None, children)
    main = children.get(65535)
    return main[4] if main and main[4] else texts[0]


def box_buttons(app, title):
    return {c[4]: ident for ident, c in app.children(title).items() if c[0].lower() == "button"}


def close_box(app, title, key="Return"):
    """Answers the message box titled title with a key and waits until it is gone."""
    wid = wait_until(lambda: app.x_window(title), 10, 0.1)
    expect(wid, f"the box {title} has a window")
    run(["xdotool", "windowfocus", "--sync", wid], check=False)
    time.sleep(0.2)
    run(["xdotool", "key", key])
    gone = wait_until(lambda: not app.find_window(title), 10, 0.1)
    expect(gone, f"the box {title} closes")
    time.sleep(0.2)


def layout_cell(app):
    """(charWidth, charHeight, keyboard x, keyboard y) of the main window,
    worked out from the push buttons' size as the window placed them."""
    _, _, _, rect, _ = app.children()[1283]
    width, height = rect[2] - rect[0], rect[3] - rect[1]
    cx = width // 6
    cy = next(c for c in range(1, 200) if 7 * c // 4 == height)
    _, _, w, h = app.client()
    return cx, cy, (w - 475) // 2, (h - 156) // 2 + cy


def key_position(app, scan):
    """The middle of a key's cell in client coordinates."""
    _, _, ox, oy = layout_cell(app)
    row, column = KEY_CELLS[scan]
    return ox + 19 * column + 19, oy + 39 * row + 20


def key_cell_screen(app, scan):
    """The key's cell (left, top) on the screen."""
    cx, cy, _, _ = app.client()
    _, _, ox, oy = layout_cell(app)
    row, column = KEY_CELLS[scan]
    return cx + ox + 19 * column, cy + oy + 39 * row


def toolbar_button_center(app, i):
    """The middle of toolbar button i on the screen."""
    toolbar = [c for c in app.children().values() if c[0] == "ToolbarWindow32"]
    expect(toolbar, "the toolbar exists")
    left, top, right, bottom = toolbar[0][3]
    return left + 39 * i + 19, top + (bottom - top) // 2


def windows_path(path):
    """A Unix path as the program under Wine sees it (drive Z: is the root)."""
    return "Z:" + path.replace("/", "\\")


def file_dialog(app):
    """The title of the file dialog that opens next (the system's own words)."""
    title = wait_until(lambda: next((w[4] for w in app.windows() if w[2] and w[1] == "#32770" and w[4]), None),
                       10, 0.2)
    expect(title, "a file dialog opens", None, [w[4] for w in app.windows() if w[2]])
    return title


def choose_file(app, path, title=None):
    """Types a path into the file dialog titled title (the next file dialog
    when no title is given) and accepts it."""
    if title is None:
        title = file_dialog(app)
    else:
        app.wait_window(title, timeout=10)
    wid = wait_until(lambda: app.x_window(title), 10, 0.1)
    expect(wid, f"the dialog {title} has a window")
    run(["xdotool", "windowfocus", "--sync", wid], check=False)
    time.sleep(0.4)
    # The name goes into the focused name field as a whole (typing characters
    # that the keyboard map lacks, like ♫, is not reliable), then Return.
    app.h.peek("settext", title, windows_path(path))
    run(["xdotool", "key", "Return"])
    expect(wait_until(lambda: not app.find_window(title), 10, 0.1), f"the dialog {title} closes")
    time.sleep(0.2)


# ----- the stream that Wine's audio wrote: float32 stereo at 48 kHz -----

AUDIO_RATE = 48000


def read_stream(path):
    """The stream in path as one channel (the mean of left and right)."""
    import numpy as np
    frames = np.fromfile(path, dtype="<f4")
    return frames[:len(frames) // 2 * 2].reshape(-1, 2).mean(axis=1)


def note_onsets(signal, block=48):
    """The first frames of the notes: a block of 1 ms whose peak reaches 0.002
    and ten times the 20 ms that end 2 ms before it (an attack may rise for a
    while), 250 ms or more after the last onset."""
    import numpy as np
    peaks = np.abs(signal[:len(signal) // block * block]).reshape(-1, block).max(axis=1)
    onsets = []
    for i in range(22, len(peaks)):
        if peaks[i] >= max(0.002, 10 * peaks[i - 22:i - 2].max()) and (not onsets or i * block - onsets[-1] >= 12000):
            onsets.append(i * block + int(np.argmax(signal[i * block:(i + 1) * block] != 0)))
    return onsets


def note_pitch(signal, onset):
    """The MIDI note (fractional) of the fundamental 40 to 240 ms after onset:
    the lowest spectral peak from 55 to 1050 Hz that reaches a tenth of the
    strongest (Hann window, zero-padded, parabolic peak)."""
    import numpy as np
    segment = signal[onset + AUDIO_RATE // 25:onset + AUDIO_RATE * 6 // 25]
    size = 1 << 20
    spectrum = np.abs(np.fft.rfft(segment * np.hanning(len(segment)), size))
    band = spectrum[int(55 * size / AUDIO_RATE):int(1050 * size / AUDIO_RATE)]
    strong = (band[1:-1] >= 0.1 * band.max()) & (band[1:-1] > band[:-2]) & (band[1:-1] >= band[2:])
    k = int(55 * size / AUDIO_RATE) + 1 + int(np.argmax(strong))
    a, b, c = np.log(spectrum[k - 1:k + 2])
    return 69 + 12 * np.log2((k + 0.5 * (a - c) / (a - 2 * b + c)) * AUDIO_RATE / size / 440)
