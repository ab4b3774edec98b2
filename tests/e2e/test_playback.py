"""Recording and playback as a player meets them: a phrase typed with Shift
chords recorded and played once, on time; looping; a stop in the middle of a
chord; keys held while the focus goes to another window; and a recording
with no key pressed."""
import time

from harness import expect, expect_equal, run, wait_until
from common import ALL_NOTES_OFF, note_off, note_on

# The enabled states of items 1283..1287, 1288, 1289, 1296, 1282, then of
# push buttons 1283..1287, as 'E'/'G' and 'E'/'D'.
ITEMS = (1283, 1284, 1285, 1286, 1287, 1288, 1289, 1296, 1282)
BUTTONS = (1283, 1284, 1285, 1286, 1287)
RECORDING = "GEGGGGGGG DEDDD"
PLAYING = "GGGGEGGGG DDDDE"
STOPPED_MODIFIED = "EGEEGEEEE EDEED"
EMPTY = "EGGGGGGEG EDDDD"


def states(app):
    menu = app.menu()
    children = app.children()
    return ("".join("G" if menu[i][1] else "E" for i in ITEMS) + " " +
            "".join("E" if children[i][1] else "D" for i in BUTTONS))


def notes_only(lines):
    """The note-on and note-off lines of a log slice, with their times."""
    return [l for l in lines if l.kind == "msg" and (l.word & 0xF0) in (0x80, 0x90)]


def text(lines):
    return ["%02x %02x %02x" % l.bytes for l in lines]


def record_phrase(app):
    """Records A S D, a Shift chord G+H (an octave up, Shift let go while the
    keys are down), and F; returns the live note lines."""
    app.command(1283)
    expect_equal(RECORDING, states(app), "the controls while recording")
    mark = app.mark()
    for key in ("a", "s", "d"):
        app.keydown(key)
        time.sleep(0.08)
        app.keyup(key)
        time.sleep(0.05)
    app.keydown("shift")
    app.keydown("g")
    app.keydown("h")
    app.keyup("shift")
    time.sleep(0.1)
    app.keyup("g")
    app.keyup("h")
    app.keydown("f")
    app.keyup("f")
    live = notes_only(app.log_since(mark))
    expected = [note_on(0x3C), note_off(0x3C), note_on(0x3E), note_off(0x3E), note_on(0x40), note_off(0x40),
                note_on(0x4F), note_on(0x51), note_off(0x4F), note_off(0x51), note_on(0x41), note_off(0x41)]
    expect_equal(expected, text(live), "the phrase as played live")
    app.command(1284)
    expect_equal(STOPPED_MODIFIED, states(app), "the controls after recording")
    return live


def due_offsets(live):
    """When each event is due after the first, from the recorded gaps: each
    step is the larger of the gap and 5 ms (milliseconds)."""
    due, out = 0.0, [0.0]
    for before, after in zip(live, live[1:]):
        due += max((after.t - before.t) / 1000.0, 5.0)
        out.append(due)
    return out


def test_recorded_phrase_plays_once_on_time(h):
    app = h.start()
    live = record_phrase(app)
    mark = app.mark()
    app.command(1285)
    lines = app.wait_midi(mark, len(live) + 16, timeout=10)
    expect_equal(text(live) + ALL_NOTES_OFF, lines, "the phrase played back, then the silence")
    played = notes_only(app.log_since(mark))
    due = due_offsets(live)
    for i, line in enumerate(played):
        if (line.word & 0xF0) != 0x90:
            continue
        late = (line.t - played[0].t) / 1000.0 - due[i]
        expect(abs(late) <= 5.0, f"note-on {i} within 5 ms of its recorded time", "|error| <= 5 ms",
               f"{late:+.1f} ms")
    # The end of the play leaves the controls exactly as a stop does.
    time.sleep(0.2)
    expect_equal(STOPPED_MODIFIED, states(app), "the controls after the play ended")
    time.sleep(0.5)
    expect_equal(len(live) + 16, len(app.log_since(mark)), "nothing more after the silence")


def test_loop_plays_twice_and_stops_clean(h):
    app = h.start()
    live = record_phrase(app)
    mark = app.mark()
    app.command(1286)
    expect_equal(PLAYING, states(app), "the controls while playing")
    lines = app.wait_midi(mark, 2 * len(live), timeout=15)
    app.command(1287)
    time.sleep(0.5)
    after = app.midi_since(mark)
    expect_equal(text(live) * 2, after[:2 * len(live)], "the phrase twice")
    # Stopped wherever the third round had got to: its first notes, then the
    # silence and nothing after it.
    rest = after[2 * len(live):]
    expect(len(rest) >= 16 and rest[-16:] == ALL_NOTES_OFF, "the stop silences every channel", ALL_NOTES_OFF,
           rest[-16:])
    expect_equal(text(live)[:len(rest) - 16], rest[:-16], "the third round up to the stop")
    expect_equal(STOPPED_MODIFIED, states(app), "the controls after the stop")
    # The second round starts after the first event's own delay (at least
    # 5 ms) and keeps the recorded pace.
    played = notes_only(app.log_since(mark))
    n = len(live)
    restart = (played[n].t - played[n - 1].t) / 1000.0
    expect(restart >= 4.0, "the restart waits at least the shortest step", ">= 5 ms", f"{restart:.1f} ms")
    due = due_offsets(live)
    for i, line in enumerate(played[n:2 * n]):
        if (line.word & 0xF0) == 0x90:
            late = (line.t - played[n].t) / 1000.0 - due[i]
            expect(abs(late) <= 5.0, f"round 2 note-on {i} within 5 ms of its recorded time", "|error| <= 5 ms",
                   f"{late:+.1f} ms")


def test_stop_in_the_middle_of_a_chord(h):
    app = h.start()
    app.command(1283)
    app.keydown("shift")
    app.keydown("a")
    app.keydown("s")
    app.keydown("d")
    app.keyup("shift")
    time.sleep(1.5)
    for key in ("a", "s", "d"):
        app.keyup(key)
    app.command(1284)
    mark = app.mark()
    app.command(1285)
    chord = [note_on(0x48), note_on(0x4A), note_on(0x4C)]
    lines = app.wait_midi(mark, 3, timeout=5)
    expect_equal(chord, lines[:3], "the chord sounds an octave up")
    app.command(1287)
    time.sleep(2.0)  # past the moment the releases were due
    expect_equal(chord + ALL_NOTES_OFF, app.midi_since(mark), "silenced, and no release after the stop")
    expect_equal(STOPPED_MODIFIED, states(app), "the controls after the stop")


def test_keys_held_when_the_focus_leaves_are_let_go(h):
    app = h.start()
    root = run(["xdotool", "search", "--maxdepth", "0", "--name", ""]).split()[0]

    def hold_two_and_leave():
        """Shift+A and S held, the X focus moved to the root window, then the
        keys let go there; the notes of the main window meanwhile."""
        mark = app.mark()
        app.keydown("shift")
        app.keydown("a")
        app.keyup("shift")
        app.keydown("s")
        run(["xdotool", "windowfocus", "--sync", root])
        time.sleep(0.3)
        app.keyup("a")
        app.keyup("s")
        time.sleep(0.3)
        return text(notes_only(app.log_since(mark)))

    held = [note_on(0x48), note_on(0x4A), note_off(0x48), note_off(0x4A)]
    expect_equal(held, hold_two_and_leave(), "the held notes end when the focus leaves")
    # A click on an empty spot of the window brings the focus back.
    _, _, _, height = app.client()
    app.click(5, height - 5)
    app.command(1283)
    expect_equal(held, hold_two_and_leave(), "the same while recording")
    app.command(1284)
    mark = app.mark()
    app.command(1285)
    expect_equal(held + ALL_NOTES_OFF, app.wait_midi(mark, len(held) + 16), "the recording's playback")


def test_recording_with_nothing_pressed_leaves_play_greyed(h):
    app = h.start()
    app.command(1283)
    time.sleep(0.3)
    app.command(1284)
    expect_equal(EMPTY, states(app), "play, loop, save, save as and export stay greyed")
    expect_equal("琴坊 - [未命名]", app.main_title(), "the caption")
    # Play asked for anyway (as the menu cannot): nothing starts, nothing changes.
    mark = app.mark()
    app.command(1285)
    time.sleep(0.3)
    expect_equal([], app.midi_since(mark), "nothing plays")
    expect_equal(EMPTY, states(app), "the controls are unchanged")
