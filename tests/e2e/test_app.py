"""The application as a player meets it: start-up, the caption, keys, the
octave latch, accelerators, the menu, the toolbar, push buttons, the mouse on
the keyboard picture, and the failures at start-up."""
import os
import time

import numpy as np

from harness import expect, expect_equal, expect_soon, run, wait_until
from common import (box_text, close_box, key_position, layout_cell, note_off, note_on, note_onsets, note_pitch,
                    read_stream, ALL_NOTES_OFF, AUDIO_RATE, KEYS, toolbar_button_center)


def test_real_program_without_device_says_so_and_ends(h):
    app = h.start(h.program_copy("qf.exe"), skip_splash=False, wait_main=False)  # without qf.sf2
    started = time.time()
    # The splash shows for its full five seconds, then the message.
    box = app.wait_window("QF", timeout=25)
    waited = time.time() - started
    expect(waited > 4.0, "the splash stays about five seconds", "> 4 s", f"{waited:.1f} s")
    expect_equal("No MIDI output devices!", box_text(app, "QF"), "the message box text")
    close_box(app, "QF")
    code = app.wait_exit(15)
    expect_equal(0, code, "the exit code")
    expect(not app.find_window(pattern="琴坊"), "no window is left", None, [w[4] for w in app.windows() if w[2]])


def test_real_program_without_device_plays_on_its_synthesizer_when_it_can(h):
    with open(os.path.join(h.exe_dir, "qf.sf2"), "rb") as f:
        font = f.read()
    for sf2, audio in ((font[:len(font) // 2], True), (font, False), (font, True)):
        app = h.start(h.program_copy("qf.exe", sf2), wait_main=sf2 is font and audio, audio=audio)
        if sf2 is not font:
            said = box_text(app, "琴坊音源", 25)  # the reader's own words after the program's
            expect(said.startswith("琴坊音源不可用: qf.sf2 ") and len(said) > 20, "a damaged qf.sf2 says why", None, said)
            close_box(app, "琴坊音源")
        if sf2 is not font or not audio:
            expect_equal("No MIDI output devices!", box_text(app, "QF", 25), "a damaged qf.sf2, or no audio output")
            close_box(app, "QF")
            expect_equal(0, app.wait_exit(15), "the exit code")
            continue
        menu = app.menu()
        devices = [(i, v[0], v[2]) for i, v in menu.items() if i in range(511, 768)]
        expect_equal([(512, True, "琴坊音源")], devices, "the device menu holds the synthesizer alone, checked")
        expect(menu[256][0], "the output is on")


def test_synthesizer_first_and_chosen_in_the_menu_plays_the_keys(h):
    # Nothing remembered, qf.sf2 and an audio output: the start is on the
    # synthesizer, though the system offers its mapper and a device.
    app = h.start(audio=True)
    expect(app.menu()[513][0] and app.menu()[256][0] and not app.midi(), "the first start is on the synthesizer")
    app.choose_menu_item("设备(&6)", 511)
    expect_soon(True, lambda: app.menu()[511][0], "the mapper is checked")
    app.choose_menu_item("设备(&6)", 513)
    expect_soon(True, lambda: app.menu()[513][0] and not app.menu()[511][0], "the synthesizer is checked")
    expect_equal(["open -1 ok", "c0 00 00", "cf 00 00"] + ALL_NOTES_OFF + ["close -1"], app.midi(),
                 "the mapper is silenced and closed, and nothing more reaches it")
    app.focus()
    pressed = []
    for key in "asda":
        pressed.append(time.time())
        app.keydown(key)
        if len(pressed) < 4:
            time.sleep(0.3)
            app.keyup(key)
            time.sleep(0.5)
    # Esc while the last A is held: the stream falls silent, and the key's
    # release sounds nothing more.
    time.sleep(0.8)
    escape = time.time()
    app.key("Escape")
    app.keyup("a")
    time.sleep(0.5)
    expect_equal(len(ALL_NOTES_OFF) + 4, len(app.midi()), "the keys reach no MIDI device")
    app.close()
    signal = read_stream(app.audio_path)
    onsets = note_onsets(signal)
    notes = [round(note_pitch(signal, o), 3) for o in onsets]
    expect(len(notes) == 4 and all(abs(n - m) <= 0.05 for n, m in zip(notes, (60, 62, 64, 60))),
           "the notes of A S D A in the stream, each within 5 cents", [60, 62, 64, 60], notes)
    # Counted from the last A's onset, the silence is due where Esc was sent;
    # one period (10 ms under Wine) before it the note still sounded.
    period = AUDIO_RATE // 100
    silent = onsets[3] + int(np.nonzero(abs(signal[onsets[3]:]) >= 1e-4)[0][-1]) + 1
    before = float(abs(signal[silent - 3 * period:silent - period]).max())
    expect(before >= 0.003, "the note sounds until one period before the silence", ">= 0.003", round(before, 4))
    late = (silent - onsets[3]) / AUDIO_RATE - (escape - pressed[3])
    expect(-0.03 < late < 0.05, "the silence comes when Esc was pressed", None, round(late, 3))


def test_quick_taps_of_a_recording_all_sound(h):
    # Eight taps released 3 ms after the press (playback keeps 5 ms), then L
    # held past the stop at the end: under Wine's 10 ms period a tap's press
    # and release often reach the synthesizer in one period. Each must sound.
    keys = (0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26)
    events = "".join("500 256 %08x 0\n%d 257 %08x 0\n" % (k << 16 | 1, 3 + 497 * (k == 0x26), k << 16 | 0xC0000001) for k in keys)
    path = os.path.join(h.tmp, "taps.qfi")
    run([os.path.join(h.build, "native", "qftool"), "write", path, "--key", "1297"], input=events)
    app = h.start("qf.exe", args=["Z:" + path.replace("/", "\\")], audio=True)  # on its synthesizer, playing
    time.sleep(0.5 * len(keys) + 1.0)
    app.close()
    signal = read_stream(app.audio_path)
    notes = [round(note_pitch(signal, o)) for o in note_onsets(signal)]
    expect_equal([60, 62, 64, 65, 67, 69, 71, 72, 74], notes, "every tap sounds in the stream, at its pitch")


def test_caption_and_a_key(h):
    app = h.start()
    expect_equal("琴坊 - [未命名]", app.main_title(), "the caption")
    # Start-up: the mapper opens and the instrument goes to the selected channel.
    expect_equal(["open -1 ok", "c0 00 00"], app.midi(), "the start-up log")
    # Every playable key, typed as a player types it (the keyboard sends its
    # scan code), sounds its note of the key table.
    mark = app.mark()
    names = {"-": "minus", "=": "equal", "[": "bracketleft", "]": "bracketright", ";": "semicolon",
             "'": "apostrophe", ",": "comma", ".": "period", "/": "slash"}
    keys = [KEYS[scan] for scan in sorted(KEYS)]
    app.key(*[names.get(k[0], k[0].lower()) for k in keys], delay=20)
    expected = [line for k in keys for line in (note_on(k[4]), note_off(k[4]))]
    expect_equal(expected, app.wait_midi(mark, 90, timeout=15), "the 45 keys pressed and released")


def test_shift_latches_until_every_key_is_up(h):
    app = h.start()
    mark = app.mark()
    app.keydown("shift")
    app.keydown("a")          # 60 + 12
    app.keyup("shift")
    app.keydown("s")          # still latched: 62 + 12
    app.keyup("a")
    app.keyup("s")
    app.key("d")              # free again: 64
    app.keydown("ctrl")
    app.key("f")              # Ctrl lowers: 65 - 12
    app.keyup("ctrl")
    expect_equal([note_on(0x48), note_on(0x4A), note_off(0x48), note_off(0x4A),
                  note_on(0x40), note_off(0x40), note_on(0x35), note_off(0x35)],
                 app.wait_midi(mark, 8), "the octave latch")


def test_keys_let_go_inside_a_menu_or_under_alt_end(h):
    app = h.start()
    # A held while a menu opens with a click: the menu's own loop would take
    # A's key-up, so A ends when the menu opens, and the latch is free after.
    mark = app.mark()
    app.keydown("a")
    app.click_screen(*app.first_menu_item())
    expect_soon([note_on(0x3C), note_off(0x3C)], lambda: app.midi_since(mark), "A ends as the menu opens")
    app.keyup("a")
    app.click(10, 10)         # away from the menu: it closes
    app.focus()
    mark = app.mark()
    app.keydown("shift")
    app.key("s")
    app.keyup("shift")
    expect_equal([note_on(0x4A), note_off(0x4A)], app.wait_midi(mark, 2), "the latch is free after the menu")
    # A let go while Alt is down: its key-up comes as a system key and ends it
    # before Alt is let go; Alt+letter stays an accelerator, not a note.
    mark = app.mark()
    app.keydown("a")
    app.keydown("alt")
    app.keyup("a")
    expect_soon([note_on(0x3C), note_off(0x3C)], lambda: app.midi_since(mark), "A ends under Alt")
    app.keyup("alt")
    app.key("Escape")         # out of the menu bar that the lone Alt selected
    app.focus()
    mark = app.mark()
    app.key("alt+d")
    time.sleep(0.3)
    expect_equal([], app.midi_since(mark), "Alt+D plays nothing")
    expect(app.menu()[1298][0], "Alt+D chose 1=D")


def test_auto_bass_from_the_menu_doubles_on_channel_16(h):
    app = h.start()
    app.key("alt+5")          # the function menu
    app.key("Return")         # its first item: auto bass
    expect(app.menu()[1333][0], "auto bass is checked")
    mark = app.mark()
    app.key("a")
    expect_equal([note_on(0x3C), "9f 30 7f", note_off(0x3C), "8f 30 00"], app.wait_midi(mark, 4),
                 "A with auto bass")
    app.command(1333)
    expect(not app.menu()[1333][0], "auto bass is unchecked again")


def test_accelerators_choose_key_and_switch(h):
    app = h.start()
    app.key("alt+a")
    menu = app.menu()
    expect(menu[1302][0] and not menu[1297][0], "A major is checked instead of C major")
    mark = app.mark()
    app.key("a")
    expect_equal([note_on(0x45), note_off(0x45)], app.wait_midi(mark, 2), "A in A major")

    mark = app.mark()
    app.key("alt+s")
    expect_equal(ALL_NOTES_OFF + ["close -1"], app.wait_midi(mark, 17), "switching off")
    menu = app.menu()
    expect(menu[257][0] and not menu[256][0], "the switch shows off")
    mark = app.mark()
    app.key("a")
    time.sleep(0.3)
    expect_equal([], app.midi_since(mark), "nothing sounds while off")

    app.key("alt+o")
    time.sleep(0.3)
    # The O key's own release ends nothing: its press was an accelerator.
    expect_equal(["open -1 ok", "c0 00 00", "cf 00 00"], app.midi_since(mark), "switching on")
    menu = app.menu()
    expect(menu[256][0] and not menu[257][0], "the switch shows on")
    # Alt+C is C major, not the switch, and no note.
    mark = app.mark()
    app.key("alt+c")
    time.sleep(0.3)
    expect_equal([], app.midi_since(mark), "Alt+C leaves the switch alone")
    menu = app.menu()
    expect(menu[1297][0] and menu[256][0], "C major is checked and the output still on")


def test_toolbar_and_menu_change_the_instrument(h):
    app = h.start()
    mark = app.mark()
    x, y = toolbar_button_center(app, 6)
    app.click_screen(x, y)
    expect_equal(["c0 37 00", "cf 37 00"], app.wait_midi(mark, 2), "toolbar button 6 selects program 55")
    menu = app.menu()
    expect(menu[1024 + 55][0] and not menu[1024][0], "the instrument mark moved to program 55")
    app.command(768 + 3)      # channel 4
    mark = app.mark()
    app.key("a")
    expect_equal(["93 3c 7f", "83 3c 00"], app.wait_midi(mark, 2), "A on channel 4")


def test_mouse_plays_the_key_under_it(h):
    app = h.start()
    mark = app.mark()
    x, y = key_position(app, 31)  # S: row 2, column 4
    app.click(x, y)
    expect_equal([note_on(0x3E), note_off(0x3E)], app.wait_midi(mark, 2), "a click on S")
    mark = app.mark()
    x, y = key_position(app, 16)  # Q, within the first 19 pixels of row 1
    ox, oy = layout_cell(app)[2:]
    app.click(ox + 3, oy + 39 + 10)
    expect_equal([note_on(0x2B), note_off(0x2B)], app.wait_midi(mark, 2), "a click at the left end of row 1")


def test_push_button_hands_keys_back(h):
    app = h.start()
    buttons = app.children()
    # The button disables itself when clicked: the instrument takes the focus back.
    _, _, _, rect, text = buttons[1283]
    expect_equal("开始录制", text, "button 1283")
    app.click_screen((rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2)
    mark = app.mark()
    app.key("s")
    expect_equal([note_on(0x3E), note_off(0x3E)], app.wait_midi(mark, 2), "a key after clicking a button")
    app.command(1284)

    # A button that keeps the focus hands each key over to the main window.
    app.key("alt+s")
    buttons = app.children()
    _, enabled, _, rect, _ = buttons[1283]
    expect(enabled, "button 1283 is enabled")
    app.click_screen((rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2)
    expect_equal("请打开开关", box_text(app, "提示"), "the switch-on request")
    close_box(app, "提示")
    mark = app.mark()
    app.key("alt+o")
    expect_equal(["open -1 ok", "c0 00 00", "cf 00 00"], app.wait_midi(mark, 3)[:3], "switched on again")
    time.sleep(0.3)
    mark = app.mark()
    app.key("d")
    expect_equal([note_on(0x40), note_off(0x40)], app.wait_midi(mark, 2), "a key while a button had the focus")


def test_device_that_fails_to_open_at_start(h):
    app = h.start(env={"QF_MIDI_FAIL_OPEN": "-1"}, wait_main=False)
    app.wait_window("QF", timeout=20)
    expect_equal("Cannot open MIDI device", box_text(app, "QF"), "the warning")
    close_box(app, "QF")
    app.wait_main()
    menu = app.menu()
    expect(menu[257][0] and not menu[256][0], "the output is off")
    expect_equal(["open -1 fail"], app.midi(), "one failed open")
    mark = app.mark()
    app.key("a")
    time.sleep(0.3)
    expect_equal([], app.midi_since(mark), "keys are silent while off")
    # Without Wine's audio the synthesizer has no endpoint: it opens all the
    # same (and would sound when one came), and the device menu goes on working.
    app.command(513)
    app.command(256)
    expect_soon(True, lambda: app.menu()[256][0] and app.menu()[513][0], "the synthesizer opens without an output")
    expect(not app.find_window("QF"), "without a message")
    app.command(512)
    expect_equal(["open 0 ok", "c0 00 00", "cf 00 00"], app.wait_midi(mark, 3), "the device menu works on")


def test_velocity_bar_and_spring_back_bend(h):
    app = h.start()
    bars = app.children()
    left, top, right, bottom = bars[1344][3]
    x = (left + right) // 2
    # The velocity bar's lower arrow: one step softer.
    app.click_screen(x, bottom - 5)
    mark = app.mark()
    app.key("a")
    expect_equal([note_on(0x3C, velocity=0x7E), note_off(0x3C)], app.wait_midi(mark, 2), "A one step softer")

    # The bend wheel: dragged up it bends, let go it springs back to rest.
    left, top, right, bottom = bars[1345][3]
    x, middle = (left + right) // 2, (top + bottom) // 2
    mark = app.mark()
    run(["xdotool", "mousemove", str(x), str(middle), "mousedown", "1"])
    for y in range(middle - 10, top, -20):
        run(["xdotool", "mousemove", str(x), str(y)])
        time.sleep(0.03)
    run(["xdotool", "mousemove", str(x), str(top + 2), "mouseup", "1"])
    time.sleep(0.4)
    bends = [line for line in app.midi_since(mark) if line.startswith("e0 ")]
    expect(len(bends) >= 2, "dragging the wheel sends pitch bends", ">= 2", bends)
    values = [int(b.split()[1], 16) | int(b.split()[2], 16) << 7 for b in bends]
    expect(max(values[:-1]) > 8191, "the wheel bends upward while dragged up", "> 8191", values)
    expect_equal("e0 7f 3f", bends[-1], "the wheel springs back to 8191 when let go")
    # Its arrows send nothing.
    mark = app.mark()
    app.click_screen(x, top + 5)
    time.sleep(0.3)
    expect_equal([], [l for l in app.midi_since(mark) if l.startswith("e0 ")], "the wheel's arrows bend nothing")


def test_esc_silences_and_frees_the_latch(h):
    app = h.start()
    app.keydown("shift")
    app.keydown("a")          # latched an octave up
    app.keyup("shift")
    mark = app.mark()
    app.key("Escape")
    expect_equal(ALL_NOTES_OFF, app.wait_midi(mark, 16), "Esc silences all sixteen channels")
    mark = app.mark()
    app.keyup("a")            # Esc ended its note: its release sends nothing more
    app.key("s")              # the latch is free: no shift now
    expect_equal([note_on(0x3E), note_off(0x3E)], app.wait_midi(mark, 2),
                 "after Esc the next key samples the modifiers afresh")
