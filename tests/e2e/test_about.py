"""The help menu: the about box with its red title and its links, opened as a
player opens it, and the help command with and without the HTML Help
control.

Links are opened through the shell: under Wine, ShellExecute hands an https
address to winebrowser, which runs the first of xdg-open, firefox, ... that
it finds on the PATH, and a mailto: address to xdg-email. The tests put fake
xdg-open and xdg-email scripts first on the PATH; each writes one line
"xdg-open TARGET" to a file, which shows what the shell was asked to open."""
import os
import subprocess
import time

from harness import expect, expect_equal, wait_until
from common import note_off, note_on

TITLE_RED = (255, 0, 0)
VISITED = (150, 0, 150)
CONTACT, HOME, DOWNLOAD, INSTALLER, TITLE = 1002, 1003, 1004, 1005, 1008


def fake_openers(h):
    """A folder with the fake openers, and the file they write to."""
    folder = os.path.join(h.tmp, "openers")
    opened = os.path.join(h.tmp, "opened.txt")
    os.makedirs(folder, exist_ok=True)
    for name in ("xdg-open", "xdg-email"):
        path = os.path.join(folder, name)
        with open(path, "w") as f:
            f.write(f'#!/bin/sh\necho "{name} $*" >> "{opened}"\n')
        os.chmod(path, 0o755)
    return folder, opened


def opened_lines(path):
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return [line.strip() for line in f if line.strip()]


def about_box(app):
    """(hwnd, rect) of the visible about box: a dialog without a caption."""
    for hwnd, cls, visible, rect, title in app.windows():
        if cls == "#32770" and visible and title == "":
            return hwnd, rect
    return None


def open_about_box(app):
    """Alt+8 opens the help menu; A (the mnemonic of its second item) the box.
    Returns the box's controls: id -> screen rect."""
    app.focus()
    app.key("alt+8")
    app.key("a")
    expect(wait_until(lambda: about_box(app), 10, 0.1), "the about box opens from the menu")
    # An untitled box is found as the first untitled window, which the
    # active box is.
    controls = {}
    for line in app.h.peek("children", "").splitlines():
        parts = line.split("\t")
        if len(parts) >= 6:
            controls.setdefault(int(parts[0]), tuple(int(v) for v in parts[4].split(",")))
    expect(all(i in controls for i in (1, CONTACT, HOME, DOWNLOAD, INSTALLER, TITLE)),
           "the box holds the OK button, the four links and the title", None, sorted(controls))
    return controls


def close_about_box(app, key):
    app.key(key)
    expect(wait_until(lambda: not about_box(app), 10, 0.1), f"{key} closes the about box")


def region(shot, rect):
    """The pixels inside a screen rect, as a list of (r, g, b)."""
    left, top, right, bottom = rect
    width, height = right - left, bottom - top
    data = subprocess.run(["convert", shot, "-crop", f"{width}x{height}+{left}+{top}", "+repage", "-depth", "8",
                           "rgb:-"], capture_output=True, timeout=30, check=True).stdout
    return [tuple(data[i:i + 3]) for i in range(0, len(data), 3)]


def count(pixels, colour):
    return sum(1 for p in pixels if p == colour)


def dark(pixels):
    return sum(1 for p in pixels if max(p) < 80)


def click_middle(app, rect, x=None):
    left, top, right, bottom = rect
    app.click_screen(x if x is not None else (left + right) // 2, (top + bottom) // 2)


def test_about_box_title_keys_and_visited_links(h):
    folder, opened = fake_openers(h)
    app = h.start(env={"PATH": folder + os.pathsep + os.environ.get("PATH", "")})

    controls = open_about_box(app)
    # The title is painted in red (once the box has painted itself).
    shot = wait_until(lambda: (lambda s: count(region(s, controls[TITLE]), TITLE_RED) > 100 and s)(app.screenshot()),
                      5, 0.2) or app.screenshot()
    title = region(shot, controls[TITLE])
    expect(count(title, TITLE_RED) > 100, "the title is painted in red", "> 100 red pixels", count(title, TITLE_RED))
    # 24 points at 96 dots per inch: the red glyphs are far taller than the
    # box's own 10-point text.
    width = controls[TITLE][2] - controls[TITLE][0]
    rows = [i // width for i, p in enumerate(title) if p == TITLE_RED]
    expect(max(rows) - min(rows) >= 20, "the title is a large font", ">= 20 rows", max(rows) - min(rows))
    for link in (CONTACT, HOME, DOWNLOAD, INSTALLER):
        pixels = region(shot, controls[link])
        expect(dark(pixels) > 20 and count(pixels, VISITED) == 0, f"link {link} is painted black, not visited",
               "dark, no purple", (dark(pixels), count(pixels, VISITED)))
    close_about_box(app, "Escape")

    controls = open_about_box(app)
    close_about_box(app, "Return")

    # A click on the border line of a link opens nothing; one inside opens it.
    controls = open_about_box(app)
    click_middle(app, controls[DOWNLOAD], x=controls[DOWNLOAD][0])
    click_middle(app, controls[HOME])
    lines = wait_until(lambda: opened_lines(opened), 10, 0.1) or []
    expect(len(lines) == 1 and lines[0].startswith("xdg-open https://"),
           "the home-page link asks the shell to open its https address", "xdg-open https://...", lines)
    shot = wait_until(lambda: (lambda s: count(region(s, controls[HOME]), VISITED) > 20 and s)(app.screenshot()),
                      5, 0.2) or app.screenshot()
    expect(count(region(shot, controls[HOME]), VISITED) > 20, "the home-page link turns purple at once")
    expect_equal(0, count(region(shot, controls[DOWNLOAD]), VISITED), "the download link (clicked on its border)")

    click_middle(app, controls[CONTACT])
    lines = wait_until(lambda: len(opened_lines(opened)) > 1 and opened_lines(opened), 10, 0.1) or []
    expect(len(lines) == 2 and lines[1].startswith("xdg-email mailto:") and "@" in lines[1],
           "the contact link opens a mailto: address", "xdg-email mailto:...@...", lines)
    close_about_box(app, "Return")

    # The visited colour lasts for the run.
    controls = open_about_box(app)
    shot = app.screenshot()
    for link, visited in ((CONTACT, True), (HOME, True), (DOWNLOAD, False), (INSTALLER, False)):
        purple = count(region(shot, controls[link]), VISITED)
        expect((purple > 20) == visited, f"link {link} after reopening", "purple" if visited else "black", purple)
    close_about_box(app, "Escape")
    expect_equal(2, len(opened_lines(opened)), "nothing else was opened")


def help_windows(app):
    return [w for w in app.windows() if w[1] == "HH Parent" and w[2]]


def help_command(app):
    """Alt+8, then Enter on the menu's first item: the help command."""
    app.focus()
    app.key("alt+8")
    app.key("Return")


def test_help_opens_once_and_is_silent_without_the_control(h):
    app = h.start()
    help_command(app)
    expect(wait_until(lambda: help_windows(app), 10, 0.1), "the help window opens",
           "HH Parent", [(w[1], w[4]) for w in app.windows() if w[2]])
    help_command(app)
    time.sleep(1.5)
    expect_equal(1, len(help_windows(app)), "a second request shows the same help window")
    # (Wine's help window takes about ten seconds to close; end the program.)
    app.kill()
    expect(wait_until(lambda: not help_windows(app), 10, 0.2), "the help window ends with the program")

    # The HTML Help control made unloadable: the command does nothing, also
    # on a second try, and the program plays on.
    overrides = os.environ.get("WINEDLLOVERRIDES", "")
    app = h.start(env={"WINEDLLOVERRIDES": (overrides + ";" if overrides else "") + "hhctrl.ocx=d"})
    before = sorted((w[1], w[4]) for w in app.windows() if w[2])
    for _ in range(2):
        help_command(app)
        time.sleep(1.5)
        seen = sorted((w[1], w[4]) for w in app.windows() if w[2])
        expect_equal(before, seen, "no window and no message appear")
    app.focus()
    mark = app.mark()
    app.key("a")
    expect_equal([note_on(0x3C), note_off(0x3C)], app.wait_midi(mark, 2), "the program still plays")
