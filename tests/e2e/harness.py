#!/usr/bin/python3
"""End-to-end tests of the program: it runs under wine64 on a headless X
server (prepared by scripts/wine-session.sh), is driven with xdotool as a
player would drive it, and is checked through the capture backend's MIDI log,
screenshots and a look at its windows from outside (qf-peek.exe).

Tests are the functions test_*(h) of the modules tests/e2e/test_*.py; h is a
Harness. Run: harness.py --build BUILD_DIR [-k SUBSTRING] [--arch i686|x86_64].
The last line is "e2e: N passed, N failed"; the exit status is 0 only when at
least one test ran and none failed.

Every test ends with a look at the programs it started: one that the test
did not close, kill or wait for must still be running (a check that "nothing
happened" proves nothing about a program that has died). What Wine wrote to
stderr for a failed test is printed with it.
"""
import argparse
import glob
import importlib.util
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

WINE = "/usr/lib/wine/wine64"
MAIN_TITLE = re.compile(r"^琴坊 - \[(.*)\]$")


def wine_test_arch():
    """i686 where Wine can start 32-bit programs (the kernel runs them and
    wine32 is installed), else x86_64."""
    try:
        ok = subprocess.run(["/usr/lib/wine/wine", "--version"], capture_output=True, timeout=30).returncode == 0
    except (OSError, subprocess.TimeoutExpired):
        ok = False
    return "i686" if ok else "x86_64"


class Failure(Exception):
    """A check that did not hold: what was expected and what was seen."""


def expect(condition, what, expected=None, seen=None):
    if not condition:
        message = what
        if expected is not None or seen is not None:
            message += f"\n    expected: {expected!r}\n    seen:     {seen!r}"
        raise Failure(message)


def expect_equal(expected, seen, what):
    expect(expected == seen, what, expected, seen)


def expect_soon(expected, probe, what, timeout=5.0, step=0.05):
    """Polls probe() until it gives expected, within timeout seconds; fails
    with the last value seen otherwise."""
    end = time.time() + timeout
    while True:
        seen = probe()
        if seen == expected:
            return seen
        if time.time() > end:
            raise Failure(f"{what}\n    expected: {expected!r}\n    seen:     {seen!r}")
        time.sleep(step)


def run(args, timeout=30, check=True, env=None, input=None):
    result = subprocess.run(args, capture_output=True, text=True, errors="replace", timeout=timeout, env=env,
                            input=input)
    if check and result.returncode != 0:
        raise Failure(f"{' '.join(args)} failed ({result.returncode}): {result.stderr.strip()}")
    return result.stdout


def wait_until(predicate, timeout, step=0.05):
    """Polls predicate until it returns something true; returns it, or None."""
    end = time.time() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.time() > end:
            return None
        time.sleep(step)


class LogLine:
    def __init__(self, text):
        parts = text.split()
        self.t = int(parts[0])  # microseconds
        self.kind = parts[1]    # open, msg, close
        self.id = int(parts[2])
        self.rest = parts[3] if len(parts) > 3 else ""

    @property
    def word(self):
        return int(self.rest, 16) if self.kind == "msg" else None

    @property
    def bytes(self):
        w = self.word
        return (w & 0xFF, (w >> 8) & 0xFF, (w >> 16) & 0xFF)

    def __repr__(self):
        return f"{self.kind} {self.id} {self.rest}".strip()


def midi_text(lines):
    """The log lines as short text: 'open -1 ok', '90 3c 7f', 'close -1'."""
    out = []
    for line in lines:
        if line.kind == "msg":
            out.append("%02x %02x %02x" % line.bytes)
        else:
            out.append(repr(line))
    return out


class App:
    """One running copy of the program."""

    def __init__(self, harness, exe, args, env, cwd):
        self.h = harness
        self.log_path = env.get("QF_MIDI_LOG")
        self.stderr_path = os.path.join(harness.tmp, f"stderr-{harness.started}.txt")
        with open(self.stderr_path, "wb") as stderr:
            self.proc = subprocess.Popen([WINE, exe] + list(args), env=env, cwd=cwd,
                                         stdout=subprocess.DEVNULL, stderr=stderr)
        self.title = None
        self.ended = False  # closed, killed or waited for by the test

    # ----- windows -----
    def windows(self):
        """Top-level windows: list of (hwnd, class, visible, rect, title)."""
        out = []
        for line in self.h.peek("windows").splitlines():
            parts = line.split("\t")
            if len(parts) >= 5:
                rect = tuple(int(v) for v in parts[3].split(","))
                out.append((int(parts[0]), parts[1], parts[2] == "1", rect, parts[4]))
        return out

    def find_window(self, title=None, pattern=None, visible=True):
        for hwnd, cls, vis, rect, t in self.windows():
            if visible and not vis:
                continue
            if (title is not None and t == title) or (pattern is not None and re.search(pattern, t)):
                return t
        return None

    def wait_window(self, title=None, pattern=None, timeout=15):
        found = wait_until(lambda: self.find_window(title, pattern), timeout, 0.2)
        expect(found, f"a window titled {title or pattern} appears within {timeout} s",
               title or pattern, [w[4] for w in self.windows() if w[2]])
        return found

    def x_window(self, title):
        out = run(["xdotool", "search", "--name", "^" + re.escape(title) + "$"], check=False)
        ids = out.split()
        return ids[0] if ids else None

    def skip_splash(self, timeout=15):
        """Closes the splash with Alt+F4 as soon as it shows."""
        wid = wait_until(lambda: self.x_window("琴坊"), timeout, 0.1)
        expect(wid, "the splash window appears")
        time.sleep(0.3)
        run(["xdotool", "windowfocus", "--sync", wid], check=False)
        run(["xdotool", "key", "alt+F4"], check=False)

    def wait_main(self, timeout=20):
        title = self.wait_window(pattern=MAIN_TITLE.pattern, timeout=timeout)
        self.title = title
        time.sleep(0.5)  # let the first paint finish
        self.focus()
        return title

    def main_title(self):
        return self.find_window(pattern=MAIN_TITLE.pattern)

    def focus(self, title=None):
        wid = self.x_window(title or self.title)
        expect(wid, f"an X window for {title or self.title}")
        run(["xdotool", "windowfocus", "--sync", wid], check=False)
        time.sleep(0.1)

    def client(self):
        """(x, y, width, height) of the main window's client area on the screen."""
        x, y, w, h = (int(v) for v in self.h.peek("client", self.main_title()).split())
        return x, y, w, h

    def children(self, title=None):
        """Child controls: dict id -> (class, enabled, visible, rect, text)."""
        out = {}
        for line in self.h.peek("children", title or self.main_title()).splitlines():
            parts = line.split("\t")
            if len(parts) >= 6:
                rect = tuple(int(v) for v in parts[4].split(","))
                text = parts[5].replace("\x1f", "\n")  # a line break, as peek shows it
                out.setdefault(int(parts[0]), (parts[1], parts[2] == "1", parts[3] == "1", rect, text))
        return out

    def menu(self):
        """Menu items: dict id -> (checked, grayed, text); pop-ups under their text."""
        items = {}
        for line in self.h.peek("menu", self.main_title()).splitlines():
            parts = line.split("\t")
            if len(parts) >= 5:
                depth, ident, checked, grayed, text = parts[0], int(parts[1]), parts[2] == "1", parts[3] == "1", parts[4]
                key = ident if ident else "popup:" + text
                items[key] = (checked, grayed, text)
        return items

    def first_menu_item(self):
        """A point on the menu bar's first item (开关) on the screen: the bar
        stands right above the client area, its first item at the left."""
        x, y, _, _ = self.client()
        return x + 20, y - 10

    def choose_menu_item(self, title, ident):
        """Chooses item ident of the menu bar's pop-up titled title with two
        real clicks: on the title, then on the item, where the program's menu
        places them on the screen now (depth, id, rect, text a line)."""
        def place(match):
            for line in self.h.peek("menurects", self.main_title()).splitlines():
                d, i, rect, t = line.split("\t", 3)
                if match(int(d), int(i), t):
                    return [int(v) for v in rect.split(",")]
        bar = place(lambda d, i, t: d == 0 and t == title)
        expect(bar, f"the menu bar shows {title}")
        self.click_screen((bar[0] + bar[2]) // 2, (bar[1] + bar[3]) // 2)
        item = wait_until(lambda: place(lambda d, i, t: d == 1 and i == ident), 5, 0.1)
        expect(item, f"the pop-up {title} shows item {ident}")
        self.click_screen((item[0] + item[2]) // 2, (item[1] + item[3]) // 2)

    def menu_lines(self):
        return self.h.peek("menu", self.main_title()).splitlines()

    def command(self, ident):
        """Posts a command to the main window, as a menu choice does."""
        self.h.peek("command", self.main_title(), str(ident))
        time.sleep(0.2)

    # ----- input -----
    def key(self, *keys, delay=40):
        run(["xdotool", "key", "--delay", str(delay)] + list(keys))
        time.sleep(0.15)

    def keydown(self, key):
        run(["xdotool", "keydown", key])
        time.sleep(0.05)

    def keyup(self, key):
        run(["xdotool", "keyup", key])
        time.sleep(0.05)

    def click(self, x, y, button=1):
        """A click at client coordinates of the main window."""
        cx, cy, _, _ = self.client()
        run(["xdotool", "mousemove", str(cx + x), str(cy + y), "click", str(button)])
        time.sleep(0.15)

    def click_screen(self, x, y, button=1):
        run(["xdotool", "mousemove", str(x), str(y), "click", str(button)])
        time.sleep(0.15)

    # ----- output -----
    def log(self):
        if not self.log_path or not os.path.exists(self.log_path):
            return []
        with open(self.log_path) as f:
            return [LogLine(line) for line in f if line.strip()]

    def midi(self):
        return midi_text(self.log())

    def mark(self):
        """The number of log lines so far, for log_since."""
        return len(self.log())

    def log_since(self, mark):
        return self.log()[mark:]

    def midi_since(self, mark):
        return midi_text(self.log_since(mark))

    def wait_midi(self, mark, count, timeout=5):
        """Waits until at least count lines follow mark; returns their text."""
        lines = wait_until(lambda: len(self.log()) - mark >= count and self.log()[mark:], timeout)
        return midi_text(lines or self.log()[mark:])

    def screenshot(self, path=None):
        path = path or os.path.join(self.h.tmp, f"shot-{time.time():.3f}.png")
        run(["import", "-window", "root", path])
        return path

    def pixels(self, path, points):
        """Colours (r, g, b) at screen points of a screenshot."""
        return [self.h.pixel(path, x, y) for x, y in points]

    # ----- end -----
    def running(self):
        return self.proc.poll() is None

    def wait_exit(self, timeout=10):
        try:
            code = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None
        self.ended = True
        return code

    def stderr_tail(self, lines=40):
        try:
            with open(self.stderr_path, encoding="utf-8", errors="replace") as f:
                return "".join(f.readlines()[-lines:])
        except OSError:
            return ""

    def close(self):
        self.ended = True
        if self.running():
            title = self.main_title()
            if title:
                self.h.peek("send", title, "16", "0", "0", check=False, timeout=5)  # WM_CLOSE
            if self.wait_exit(5) is None:
                self.kill()

    def kill(self):
        self.ended = True
        if self.running():
            self.proc.kill()
            self.proc.wait(5)


class Harness:
    def __init__(self, build, arch="i686"):
        self.build = build
        self.exe_dir = os.path.join(build, arch)
        self.peek_exe = os.path.join(self.exe_dir, "tests", "qf-peek.exe")
        self.tmp = tempfile.mkdtemp(prefix="qf-e2e-")
        self.apps = []
        self.started = 0

    def exe(self, name):
        return name if os.path.isabs(name) else os.path.join(self.exe_dir, name)

    def program_copy(self, name, font=None):
        """A copy of program name in a folder of its own, with font (bytes) as qf.sf2 when given."""
        folder = tempfile.mkdtemp(prefix="program-", dir=self.tmp)
        if font is not None:
            with open(os.path.join(folder, "qf.sf2"), "wb") as f:
                f.write(font)
        return shutil.copy(self.exe(name), folder)

    def peek(self, *args, check=True, timeout=15):
        # A Wine process that could not start (rare, while the program under
        # test is still starting up) is tried again before it counts.
        for attempt in range(3):
            try:
                return run([WINE, self.peek_exe] + list(args), check=check, timeout=timeout)
            except Failure:
                if attempt == 2:
                    raise
                time.sleep(0.5)

    def start(self, exe="qf-capture.exe", args=(), env=None, skip_splash=True, wait_main=True, cwd=None,
              audio=False):
        """Starts the program (the capture build unless told otherwise) with
        a fresh MIDI log and no device remembered from an earlier start;
        skips the splash and waits for the main window. With audio, Wine's
        audio renders through ALSA into the file app.audio_path."""
        full_env = dict(os.environ)
        self.started += 1
        log = os.path.join(self.tmp, f"midi-{self.started}.log")
        full_env["QF_MIDI_LOG"] = log
        audio_path = None
        if audio:
            # The default ALSA device is a file over the null device; Wine's
            # PulseAudio driver is left out so that ALSA's serves.
            home = tempfile.mkdtemp(prefix="home-", dir=self.tmp)
            audio_path = os.path.join(self.tmp, f"audio-{self.started}.raw")
            with open(os.path.join(home, ".asoundrc"), "w") as f:
                f.write('pcm.!default { type file slave.pcm "null" file "%s" format "raw" }\n' % audio_path)
            full_env["HOME"] = home
            full_env["WINEDLLOVERRIDES"] = "mscoree,mshtml,winepulse.drv="
        run([WINE, "reg", "delete", r"HKCU\Software\QF", "/f"], check=False)
        for k, v in (env or {}).items():
            if v is None:
                full_env.pop(k, None)
            else:
                full_env[k] = v
        app = App(self, self.exe(exe), args, full_env, cwd or self.tmp)
        app.audio_path = audio_path
        self.apps.append(app)
        if skip_splash:
            app.skip_splash()
        if wait_main:
            app.wait_main()
        return app

    def pixel(self, path, x, y):
        out = run(["convert", path, "-crop", f"1x1+{x}+{y}", "-depth", "8", "txt:-"])
        m = re.search(r"\((\d+),(\d+),(\d+)", out.splitlines()[-1])
        return tuple(int(v) for v in m.groups())

    def check_alive(self):
        """Every program the test left running is still running."""
        for app in self.apps:
            if not app.ended and not app.running():
                raise Failure(f"the program died during the test (exit status {app.proc.returncode})")

    def stderr_report(self):
        out = []
        for app in self.apps:
            tail = app.stderr_tail()
            if tail.strip():
                out.append(f"--- Wine's stderr of program {self.apps.index(app) + 1}:\n{tail.rstrip()}")
        return "\n".join(out)

    def cleanup(self):
        for app in self.apps:
            try:
                app.kill()
            except Exception:
                pass
        self.apps = []


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("-k", default="")
    parser.add_argument("--arch", choices=("i686", "x86_64"),
                        help="which build's programs to test: the 32-bit product where Wine can run it "
                             "(unless told otherwise), else the 64-bit build")
    parser.add_argument("--keep", action="store_true", help="keep screenshots and logs")
    options = parser.parse_args()

    here = os.path.dirname(os.path.abspath(__file__))
    sys.path.insert(0, here)
    tests = []
    for path in sorted(glob.glob(os.path.join(here, "test_*.py"))):
        name = os.path.splitext(os.path.basename(path))[0]
        loader = importlib.util.spec_from_file_location(name, path)
        module = importlib.util.module_from_spec(loader)
        loader.loader.exec_module(module)
        for attr in sorted(dir(module), key=lambda a: getattr(getattr(module, a), "__code__", None)
                           and getattr(module, a).__code__.co_firstlineno or 0):
            if attr.startswith("test_") and callable(getattr(module, attr)):
                full = f"{name}.{attr}"
                if options.k in full:
                    tests.append((full, getattr(module, attr)))

    harness = Harness(os.path.abspath(options.build), options.arch or wine_test_arch())
    passed = failed = 0
    for full, test in tests:
        started = time.time()
        try:
            test(harness)
            harness.check_alive()
            passed += 1
            print(f"PASS {full} ({time.time() - started:.1f} s)", flush=True)
        except Failure as e:
            failed += 1
            print(f"FAIL {full}: {e}", flush=True)
            print(harness.stderr_report(), flush=True)
        except Exception:
            failed += 1
            print(f"FAIL {full}: unexpected error\n{traceback.format_exc()}", flush=True)
            print(harness.stderr_report(), flush=True)
        finally:
            harness.cleanup()
    if not options.keep:
        shutil.rmtree(harness.tmp, ignore_errors=True)
    else:
        print(f"kept {harness.tmp}")
    print(f"e2e: {passed} passed, {failed} failed")
    if passed + failed == 0:
        print(f"no test matched {options.k!r}: nothing was tested")
        return 1
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
