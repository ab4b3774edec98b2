"""The program on systems of other code pages: Wine takes the ANSI code page
of each process from its locale, so C.UTF-8 is a Western system (1252) and
zh_TW.UTF-8 a Traditional Chinese one (950). Every text reads as on code page
936: the caption, the menus, the buttons, a message box and the painted
texts; and a recording named beyond the code page, in a folder with a
Chinese name, is saved, loaded, exported and opened from the command line."""
import os
import subprocess
import time

from harness import expect, expect_equal, expect_soon, run, wait_until
from common import box_text, choose_file, close_box, layout_cell, note_on, windows_path

CHINESE, WESTERN, TRADITIONAL = "zh_CN.UTF-8", "C.UTF-8", "zh_TW.UTF-8"
RED = (255, 0, 0)

MENU_TITLES = ["开关(&1)", "乐器(&2)", "调式(&3)", "录音(&4)", "功能(&5)", "设备(&6)", "声道(&7)", "帮助(&8)"]
MENU_ITEMS = {256: "打开(&O)\\tAlt+O", 1024: "&1.\\t三角钢琴", 1131: "&4.\\t十三弦古筝（日）",
              1304: "#F大调\\t  Alt+H", 1283: "开始录制(&R)", 1282: "导出为Midi格式文件(&C)",
              1333: "自动增加低音(&C)", 1281: "关于(&A)"}
BUTTONS = ["开始录制", "停止录制", "开始播放", "循环播放", "停止播放"]


def start_in(h, locale, **options):
    return h.start(env={"LANG": locale, "LC_ALL": locale}, **options)


def region_bytes(path, x, y, width, height):
    return subprocess.run(["convert", path, "-crop", f"{width}x{height}+{x}+{y}", "+repage", "-depth", "8",
                           "rgb:-"], capture_output=True, timeout=30, check=True).stdout


def painted_texts(app):
    """The screen's pixels of the painted texts: the status and tip lines, the
    instrument and key beside the picture, the captions under the bars."""
    cx, cy, _, _ = layout_cell(app)
    left, top, w, h = app.client()
    regions = [(0, h - 4 * cy, w, 2 * cy),
               ((w - 171) // 2 + 171, 115, 240, cy),
               (w * 135 // 160, h * 7 // 10, w * 143 // 160 - w * 135 // 160 + 6 * cx, cy)]
    shot = app.screenshot()
    return [region_bytes(shot, left + x, top + y, width, height) for x, y, width, height in regions]


def painted_in_red(app):
    """The painted texts once each of them shows (in red), else None."""
    texts = painted_texts(app)
    red = [sum(1 for i in range(0, len(t), 3) if tuple(t[i:i + 3]) == RED) for t in texts]
    return texts if min(red) > 20 else None


def test_every_text_reads_as_on_the_chinese_system(h):
    reference = None
    for locale in (CHINESE, WESTERN, TRADITIONAL):
        app = start_in(h, locale)
        expect_equal("琴坊 - [未命名]", app.main_title(), f"the caption under {locale}")
        lines = [line.split("\t") for line in app.menu_lines()]
        expect_equal(MENU_TITLES, [f[4] for f in lines if f[0] == "0"], f"the menu titles under {locale}")
        menu = app.menu()
        expect_equal(MENU_ITEMS, {i: menu[i][2] for i in MENU_ITEMS}, f"menu items under {locale}")
        expect("popup:&N.\\t民族乐器" in menu, f"the ethnic family's pop-up under {locale}", None,
               [k for k in menu if isinstance(k, str)])
        children = app.children()
        expect_equal(BUTTONS, [children[i][4] for i in range(1283, 1288)], f"the push buttons under {locale}")

        if reference is None:
            reference = wait_until(lambda: painted_in_red(app), 5, 0.2)
            expect(reference, "the painted texts show in red on the Chinese system")
        else:
            expect_soon([True, True, True], lambda: [a == b for a, b in zip(reference, painted_texts(app))],
                        f"the status line, the key text and the captions under {locale} are those of the "
                        "Chinese system, pixel for pixel")

        # A message box of the program: recording asks for the switch first.
        app.command(257)
        app.command(1283)
        expect_equal("请打开开关", box_text(app, "提示"), f"the box's text under {locale}")
        close_box(app, "提示")
        app.close()


SONG = "歌曲 ♫"


def qftool(h, *args):
    return run([os.path.join(h.build, "native", "qftool")] + list(args))


def test_a_song_named_beyond_the_code_page(h):
    for locale in (WESTERN, CHINESE):
        folder = os.path.join(h.tmp, f"录音 夹 {locale}")
        os.makedirs(folder)
        qfi = os.path.join(folder, SONG + ".qfi")
        mid = os.path.join(folder, SONG + ".mid")
        app = start_in(h, locale)
        app.command(1302)  # A major
        app.command(1283)
        app.key("a", "s")
        app.command(1284)
        app.command(1288)
        choose_file(app, qfi)
        expect_soon(f"琴坊 - [{SONG}.qfi]", app.main_title, f"the caption names the song under {locale}")
        expect_equal(["events 4", "key 1302", "autobass 0"], qftool(h, "info", qfi).splitlines()[:3],
                     f"the song saved under {locale}")

        # Another key and a new recording, then the load: the question names
        # the song, and the song's key comes back.
        app.command(1297)
        app.command(1283)
        app.key("d")
        app.command(1284)
        app.command(1296)
        expect_equal(f"保存当前的变化在 {SONG}.qfi?", box_text(app, "QF"), f"the question under {locale}")
        app.h.peek("command", "QF", "7")  # No
        expect(wait_until(lambda: not app.find_window("QF"), 10, 0.1), "the question closes")
        choose_file(app, qfi)
        expect_soon((True, False), lambda: (app.menu()[1302][0], app.menu()[1297][0]),
                    f"the song's key is back under {locale}")
        expect_equal(f"琴坊 - [{SONG}.qfi]", app.main_title(), f"the caption after the load under {locale}")

        app.command(1282)
        choose_file(app, mid)
        expect(wait_until(lambda: os.path.exists(mid) and os.path.getsize(mid) > 0, 5),
               f"the MIDI file is written under {locale}")
        reference = os.path.join(h.tmp, f"reference-{locale}.mid")
        qftool(h, "export", qfi, reference, "--key", "1302", "--instrument", "0", "--bass", "0")
        with open(mid, "rb") as a, open(reference, "rb") as b:
            expect(a.read() == b.read(), f"the export under {locale} is qftool's export of the song")
        expect_equal(sorted([SONG + ".qfi", SONG + ".mid"]), sorted(os.listdir(folder)),
                     "only the two files in the folder, no temporary file left")
        app.close()

        # The song named on the command line is loaded and played once.
        app = start_in(h, locale, args=[windows_path(qfi)])
        expect_equal(f"琴坊 - [{windows_path(qfi)}]", app.main_title(), f"the caption names the path under {locale}")
        expect(wait_until(lambda: note_on(0x47) in app.midi(), 5), f"the song plays under {locale}",
               note_on(0x47), app.midi())
        app.close()
