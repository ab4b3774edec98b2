"""The document as a player meets it: saving through the save dialog, loading
it back (key and auto bass restored), exporting it as a MIDI file, the
question before unsaved changes are lost, a recording named on the
command line (plain, quoted with blanks, too long, damaged), and a MIDI
song opened with its track chooser, then a damaged one."""
import os
import subprocess
import time

from harness import expect, expect_equal, expect_soon, run, wait_until
from common import box_text, choose_file, close_box, note_off, note_on, windows_path, ALL_NOTES_OFF

SAVE_DIALOG = "另存为"
OPEN_DIALOG = "打开"
CHOOSER = "选择音轨"
IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7


def qftool(h):
    return os.path.join(h.build, "native", "qftool")


def info(h, path):
    """qftool info as (events, key, auto bass, event lines)."""
    lines = run([qftool(h), "info", path]).splitlines()
    fields = dict(line.split(" ", 1) for line in lines[:3])
    return int(fields["events"]), int(fields["key"]), int(fields["autobass"]), lines[3:]


def write_recording(h, path, key, bass, events):
    """A recording file from (delay, message, keyData, octaveShift) tuples."""
    text = "".join("%d %d %08x %d\n" % e for e in events)
    subprocess.run([qftool(h), "write", path, "--key", str(key), "--bass", str(bass)], input=text, text=True,
                   check=True, capture_output=True)


def answer(app, title, button):
    """Ends the box or dialog titled title as if the button were pressed."""
    app.wait_window(title, timeout=10)
    app.h.peek("command", title, str(button))
    expect(wait_until(lambda: not app.find_window(title), 10, 0.1), f"{title} closes")
    time.sleep(0.2)


def ask_close(app):
    """A close request from the keyboard (Alt+F4 on the main window)."""
    app.focus(app.main_title())
    run(["xdotool", "key", "alt+F4"])


def grayed(app, ids):
    menu = app.menu()
    return {i: menu[i][1] for i in ids}


def record_keys(app, keys):
    app.command(1283)
    for key in keys:
        app.key(key)
    app.command(1284)


def test_save_load_and_export(h):
    qfi = os.path.join(h.tmp, "tune.qfi")
    mid = os.path.join(h.tmp, "tune.mid")
    app = h.start()
    app.command(1302)          # A major
    app.command(1333)          # auto bass on
    app.command(1024 + 5)      # instrument 5
    record_keys(app, ["a", "s"])
    expect(not app.menu()[1288][1], "save is enabled after a recording")

    # A plain save of an untitled recording asks for the name.
    app.command(1288)
    choose_file(app, qfi, SAVE_DIALOG)
    expect(wait_until(lambda: app.main_title() == "琴坊 - [tune.qfi]", 5), "the caption names the file",
           "琴坊 - [tune.qfi]", app.main_title())
    events, key, bass, lines = info(h, qfi)
    expect_equal((4, 1302, 1), (events, key, bass), "the saved events, key and auto bass")
    expect_equal([(256, 0x1E), (257, 0x1E), (256, 0x1F), (257, 0x1F)],
                 [(int(l.split()[1]), (int(l.split()[2], 16) >> 16) & 0xFF) for l in lines],
                 "A and S pressed and released")
    expect_equal({1288: True, 1289: False}, grayed(app, [1288, 1289]), "save greyed, save as enabled")

    # Another key and no auto bass, a new recording, then the load: it asks
    # first (No), and brings the file's key and auto bass back.
    app.command(1297)
    app.command(1333)
    record_keys(app, ["d"])
    app.command(1296)
    expect_equal("保存当前的变化在 tune.qfi?", box_text(app, "QF"), "the question before the load")
    answer(app, "QF", IDNO)
    choose_file(app, qfi, OPEN_DIALOG)
    expect_soon((True, False, True), lambda: (app.menu()[1302][0], app.menu()[1297][0], app.menu()[1333][0]),
                "the key mark moved back to A major, auto bass is on again")
    expect_equal({1283: False, 1284: True, 1285: False, 1286: False, 1287: True, 1288: True, 1289: False,
                  1282: False}, grayed(app, [1283, 1284, 1285, 1286, 1287, 1288, 1289, 1282]),
                 "the items after the load")
    buttons = app.children()
    expect_equal([True, False, True, True, False], [buttons[i][1] for i in range(1283, 1288)],
                 "the push buttons after the load")
    expect_equal("琴坊 - [tune.qfi]", app.main_title(), "the caption after the load")

    # It is the file's recording that plays, in A major with the bass.
    mark = app.mark()
    app.command(1285)
    played = app.wait_midi(mark, 8 + 16, timeout=5)
    expect_equal([note_on(0x45), "9f 39 7f", note_off(0x45), "8f 39 00",
                  note_on(0x47), "9f 3b 7f", note_off(0x47), "8f 3b 00"] + ALL_NOTES_OFF, played,
                 "the loaded recording played")

    # The export writes what the exporter makes of the saved file (once the
    # end of the play has enabled it again).
    expect_soon(False, lambda: app.menu()[1282][1], "export enabled after the play")
    app.command(1282)
    choose_file(app, mid, SAVE_DIALOG)
    expect(wait_until(lambda: os.path.exists(mid) and os.path.getsize(mid) > 0, 5), "the MIDI file exists")
    reference = os.path.join(h.tmp, "reference.mid")
    run([qftool(h), "export", qfi, reference, "--key", "1302", "--instrument", "5", "--bass", "1"])
    with open(mid, "rb") as a, open(reference, "rb") as b:
        expect(a.read() == b.read(), "the exported file equals qftool's export of the saved file")
    expect_equal("琴坊 - [tune.qfi]", app.main_title(), "the export leaves the document's name alone")


def test_close_question(h):
    app = h.start()
    record_keys(app, ["a"])
    # Yes, then a cancelled save dialog: the window stays.
    ask_close(app)
    expect_equal("保存当前的变化在 未命名?", box_text(app, "QF"), "the question")
    answer(app, "QF", IDYES)
    answer(app, SAVE_DIALOG, IDCANCEL)
    time.sleep(0.3)
    expect_soon("琴坊 - [未命名]", app.main_title, "the window stays, still untitled")
    # Yes and a name: saved, then closed.
    saved = os.path.join(h.tmp, "closing.qfi")
    ask_close(app)
    answer(app, "QF", IDYES)
    choose_file(app, saved, SAVE_DIALOG)
    expect_equal(0, app.wait_exit(10), "the program ends after the save")
    expect_equal(2, info(h, saved)[0], "the saved recording's events")


def test_command_line_with_quotes_and_blanks_plays_once(h):
    folder = os.path.join(h.tmp, "录 音")
    os.makedirs(folder)
    path = os.path.join(folder, "曲 子.qfi")
    write_recording(h, path, 1297, 0, [(0, 256, 0x001E0001, 0), (150, 257, 0xC01E0001, 0),
                                       (100, 256, 0x001F0001, 0), (150, 257, 0xC01F0001, 0)])
    # Wine hands an argument with blanks over in double quotes, as Windows does.
    app = h.start(args=[windows_path(path)])
    expect_equal(f"琴坊 - [{windows_path(path)}]", app.main_title(), "the caption shows the path without quotes")
    expect(wait_until(lambda: len(app.log()) >= 2 + 4 + 16, 5), "the file is played", ">= 22 log lines",
           app.midi())
    time.sleep(0.6)  # a second play would have begun by now
    lines = app.log()
    expect_equal(["open -1 ok", "c0 00 00", note_on(0x3C), note_off(0x3C), note_on(0x3E), note_off(0x3E)]
                 + ALL_NOTES_OFF, app.midi(), "played once, then silenced")
    delay = (lines[2].t - lines[0].t) / 1000.0
    expect(450 <= delay <= 900, "the play starts half a second after the start", "about 500 ms",
           f"{delay:.0f} ms")
    menu = app.menu()
    expect(not menu[1282][1] and menu[1288][1], "export enabled by the end of the play, save greyed")
    # Nothing unsaved: the close asks nothing.
    ask_close(app)
    expect_equal(0, app.wait_exit(10), "the program ends without a question")


def test_command_line_too_long_then_close_without_saving(h):
    name = windows_path(os.path.join(h.tmp, "x" * 300 + ".qfi"))
    app = h.start(args=[name], wait_main=False)
    text = box_text(app, "QF", timeout=20)
    expect_equal("不能找到或打开文件" + name[:259] + "....", text, "the open message, the name cut short")
    close_box(app, "QF")
    app.wait_main()
    expect_equal("琴坊 - [未命名]", app.main_title(), "untitled")
    # No to the question closes without saving.
    record_keys(app, ["a"])
    ask_close(app)
    expect_equal("保存当前的变化在 未命名?", box_text(app, "QF"), "the question")
    answer(app, "QF", IDNO)
    expect_equal(0, app.wait_exit(10), "the program ends")


def test_command_line_with_a_damaged_file(h):
    path = os.path.join(h.tmp, "damaged.qfi")
    with open(path, "wb") as f:
        f.write(b"RIFF\x04\x00\x00\x00WAVE")
    app = h.start(args=[windows_path(path)], wait_main=False)
    expect_equal(f"文件{windows_path(path)}不是标准的琴坊文件.", box_text(app, "QF", timeout=20), "the message")
    close_box(app, "QF")
    app.wait_main()
    expect_equal("琴坊 - [未命名]", app.main_title(), "untitled")
    expect_equal({1285: True, 1286: True, 1288: True, 1289: True, 1282: True},
                 grayed(app, [1285, 1286, 1288, 1289, 1282]), "nothing to play or save")
    time.sleep(0.6)  # the play of a loaded file would have begun by now
    expect_equal(["open -1 ok", "c0 00 00"], app.midi(), "nothing plays")


def two_track_song(path):
    """A MIDI file in F major: a violin lead of three notes, a finger bass of two."""
    import mido
    song = mido.MidiFile(type=1, ticks_per_beat=96)
    for name, program, channel, notes in (("Lead", 40, 0, [72, 74, 76]), ("Bass", 33, 1, [48, 43])):
        track = mido.MidiTrack([mido.MetaMessage("track_name", name=name), mido.MetaMessage("key_signature", key="F"),
                                mido.Message("program_change", channel=channel, program=program)])
        for note in notes:
            track += [mido.Message("note_on", channel=channel, note=note, velocity=64),
                      mido.Message("note_off", channel=channel, note=note, time=48)]
        song.tracks.append(track)
    song.save(path)


def test_midi_song_through_the_chooser_then_a_damaged_one(h):
    song, cut = os.path.join(h.tmp, "two.mid"), os.path.join(h.tmp, "cut.mid")
    two_track_song(song)
    with open(song, "rb") as f:
        data = f.read()
    with open(cut, "wb") as f:
        f.write(data[:-5])
    last = data.rindex(b"MTrk")
    message = "cut.mid: the MIDI file is cut short: a chunk of %d bytes at byte %d runs past its end" % (
        int.from_bytes(data[last + 4:last + 8], "big"), last)
    app = h.start()
    app.command(1296)
    choose_file(app, song, OPEN_DIALOG)
    app.wait_window(CHOOSER)
    expect_equal(["1\t音轨 1\tLead\t3 个音\t小提琴", "0\t音轨 2\tBass\t2 个音\t电Bass(手指弹)"],
                 h.peek("listbox", CHOOSER).splitlines(), "the tracks with notes, the busiest selected")
    app.focus(CHOOSER)
    app.key("End", "Return")
    expect(wait_until(lambda: not app.find_window(CHOOSER), 10, 0.1), "the chooser closes")
    expect_soon((True, True, False), lambda: (app.menu()[1300][0], app.menu()[1024 + 33][0], app.menu()[1288][1]),
                "F major, the bass's instrument, an unsaved song")
    expect_equal("琴坊 - [two.mid]", app.main_title(), "the caption names the song")
    bass = [note_on(48), note_off(48), note_on(43), note_off(43)] + ALL_NOTES_OFF

    def plays_the_bass(what):
        mark = app.mark()
        app.command(1285)
        expect_equal(bass, app.wait_midi(mark, len(bass), timeout=5), what)
        expect_soon(False, lambda: app.menu()[1296][1], "the open command back after the play")

    plays_the_bass("the bass track plays")
    app.command(1296)
    expect_equal("保存当前的变化在 未命名?", box_text(app, "QF"), "the question before the open")
    answer(app, "QF", IDNO)
    choose_file(app, cut, OPEN_DIALOG)
    expect_equal(message, box_text(app, "QF"), "the reader's message")
    close_box(app, "QF")
    expect_equal("琴坊 - [two.mid]", app.main_title(), "the song is still there")
    plays_the_bass("after the damaged file the bass track still plays")
