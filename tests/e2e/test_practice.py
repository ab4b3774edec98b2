"""Practice mode as a player meets it: a song opened through the real open
dialog, F5, the keys to press lit in their own colour, a wrong key that
sounds and holds the song, the right one that lights the next, and the
result at the end."""
import os
import subprocess

from harness import expect, expect_equal, expect_soon, run, wait_until
from common import box_text, choose_file, close_box, key_cell_screen, note_on
from test_document import two_track_song

NOW, NEXT, IDLE = (255, 170, 0), (255, 226, 160), (239, 239, 240)
A, S, D, F, G = 30, 31, 32, 33, 34


def face(app, scan):
    """The colour of a key cap's face beside its label."""
    left, top = key_cell_screen(app, scan)
    shot = app.screenshot()
    data = subprocess.run(["convert", shot, "-crop", f"1x1+{left + 8}+{top + 19}", "+repage", "-depth", "8", "rgb:-"],
                          capture_output=True, timeout=30, check=True).stdout
    return tuple(data[:3])


def test_practice_waits_for_each_chord_and_ends_with_the_result(h):
    score = os.path.join(h.tmp, "four.txt")
    with open(score, "w") as f:
        f.write("1=C 4=60\n1 2 3 5 |\n")
    app = h.start()
    app.command(1296)
    choose_file(app, score, "打开")
    expect(wait_until(lambda: "four.txt" in app.main_title(), 5), "the song is loaded", "four.txt", app.main_title())

    app.focus(app.main_title())
    app.key("F5")
    expect_soon((NOW, NEXT, IDLE), lambda: (face(app, A), face(app, S), face(app, D)),
                "A is lit to press, S after it, D not yet")
    expect(app.menu()[1350][0], "跟弹练习 is checked")

    # A wrong key sounds and the song stays at A.
    mark = app.mark()
    app.key("f")
    expect_equal([note_on(65), "80 41 00"], app.wait_midi(mark, 2), "the wrong key F sounds")
    expect_equal(NOW, face(app, A), "A is still the key to press")

    # The right key: the next cap is lit.
    app.key("a")
    expect_soon((IDLE, NOW, NEXT), lambda: (face(app, A), face(app, S), face(app, D)), "S is lit now, D after it")
    app.key("s", "d", "g")
    expect_equal("音符: 4\n弹对: 3/4 (75%)\n错键: 1", box_text(app, "跟弹练习"),
                 "the result: the first chord had the wrong key")
    close_box(app, "跟弹练习")
    expect(not app.menu()[1350][0], "practice is over")
    expect_equal(IDLE, face(app, S), "no key is lit any more")


def test_a_midi_song_practised_with_its_other_track_as_accompaniment(h):
    song = os.path.join(h.tmp, "two.mid")
    two_track_song(song)
    keys = [line.split()[1].lower() for line in
            run([os.path.join(h.build, "native", "qftool"), "keys", song, "--track", "1"]).splitlines()]
    app = h.start()
    app.command(1296)
    choose_file(app, song, "打开")
    app.wait_window("选择音轨")
    app.focus("选择音轨")
    app.key("Return")  # the lead, which has the most notes
    expect(wait_until(lambda: app.main_title() == "琴坊 - [two.mid]", 5), "the lead is loaded")
    app.focus(app.main_title())
    app.key("F5")
    mark = app.mark()
    app.key(keys[0])
    # The bass's program and its first note come with the lead's first note.
    got = app.wait_midi(mark, 4)
    expect("c1 21 00" in got and note_on(48, 1, 64) in got, "the bass track plays on its channel", None, got)
    app.key(*keys[1:])
    expect_equal("音符: 3\n弹对: 3/3 (100%)\n错键: 0", box_text(app, "跟弹练习"), "every note played right")
