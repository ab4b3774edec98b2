#!/usr/bin/env bash
# The installer run for real under Wine, as a user gets it: a silent install
# into a fresh prefix; the program, its tool and its help in the install
# folder; the Start-menu entries; the .qfi file type with its open command; a
# recording started through the file type (as a double-click does) plays in
# the installed program; then a silent uninstall that leaves nothing behind.
#   install-test.sh BUILD_DIR
# BUILD_DIR holds qf-setup.exe, and qf-capture.exe, which stands in for the
# installed qf.exe when the recording is started (it logs what it plays;
# there is no MIDI device here). Needs DISPLAY (a headless X server will do).
set -uo pipefail
build=$(cd "$1" && pwd)
wine=/usr/lib/wine/wine64
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

work=$(mktemp -d /tmp/qf-install.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
# No menu entries or file types in the desktop outside the prefix.
export WINEDLLOVERRIDES="mscoree,mshtml,winealsa.drv=,winemenubuilder.exe=d"
cleanup() {
    wineserver -k 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

[ -f "$build/qf-setup.exe" ] || { echo "FAIL: $build/qf-setup.exe is missing"; exit 1; }
mkdir -p "$WINEPREFIX"
$wine wineboot.exe -i >/dev/null 2>&1
wineserver -w

# The registry as Wine keeps it in the prefix, read once the server has
# written it out; a 32-bit installer's keys stand under Wow6432Node.
registry() { # key path (without HKLM), value name ("@" for the default)
    wineserver -w
    python3 - "$WINEPREFIX/system.reg" "$1" "$2" <<'PY'
import re, sys
path, key, name = sys.argv[1], sys.argv[2].lower(), sys.argv[3]
def unescape(s):
    return re.sub(r'\\x([0-9a-fA-F]{1,4})', lambda m: chr(int(m.group(1), 16)), s).replace('\\"', '"').replace('\\\\', '\\')
section = None
for line in open(path, encoding="utf-8", errors="replace"):
    line = line.rstrip("\n")
    if line.startswith("["):
        k = unescape(line[1:line.index("]")]).lower().replace("wow6432node\\", "")
        section = k == key
    elif section:
        m = re.match(r'^(@|"((?:[^"\\]|\\.)*)")=(?:str\(2\):)?"((?:[^"\\]|\\.)*)"', line)
        if m and (m.group(1) == "@" if name == "@" else m.group(2) is not None and unescape(m.group(2)) == name):
            print(unescape(m.group(3)))
            sys.exit(0)
        m = re.match(r'^"((?:[^"\\]|\\.)*)"=dword:([0-9a-f]+)', line)
        if m and unescape(m.group(1)) == name:
            print(int(m.group(2), 16))
            sys.exit(0)
sys.exit(1)
PY
}
key_exists() { # key path (without HKLM)
    wineserver -w
    python3 - "$WINEPREFIX/system.reg" "$1" <<'PY'
import re, sys
key = sys.argv[2].lower()
def unescape(s):
    return re.sub(r'\\x([0-9a-fA-F]{1,4})', lambda m: chr(int(m.group(1), 16)), s).replace('\\\\', '\\')
for line in open(sys.argv[1], encoding="utf-8", errors="replace"):
    if line.startswith("["):
        k = unescape(line[1:line.index("]")]).lower().replace("wow6432node\\", "")
        if k == key or k.startswith(key + "\\"):
            sys.exit(0)
sys.exit(1)
PY
}
unix_path() { $wine winepath.exe -u "$1" 2>/dev/null | tr -d '\r'; }

# ---- install ----
(cd "$work" && $wine "$build/qf-setup.exe" /S)
status=$?
wineserver -w
[ "$status" = 0 ] || fail "the silent install exited with $status"

installDir=$(registry 'Software\QF' InstallDir) || fail "no InstallDir under HKLM\\Software\\QF"
dir=$(unix_path "$installDir")
[ -n "$dir" ] && [ -d "$dir" ] || fail "the install folder $installDir does not exist"
for f in qf.exe qftool.exe qf.chm qf.sf2 qf.sf2-license.txt uninstall.exe; do
    [ -f "$dir/$f" ] || fail "$f is not installed in $installDir"
done
[ -f "$dir/qf.sf2" ] && { cmp -s "$dir/qf.sf2" "$build/qf.sf2" || fail "the installed qf.sf2 is not the build's"; }
[ -f "$dir/qf.exe" ] && { cmp -s "$dir/qf.exe" "$build/qf.exe" || fail "the installed qf.exe is not the build's"; }
[ -f "$dir/qftool.exe" ] && { cmp -s "$dir/qftool.exe" "$build/qftool.exe" || fail "the installed qftool.exe is not the build's"; }
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/琴坊"
for f in 琴坊.lnk 琴坊帮助.lnk 卸载琴坊.lnk; do
    [ -f "$menu/$f" ] || fail "the Start menu lacks $f"
done

# The file type and its open command.
[ "$(registry 'Software\Classes\.qfi' @)" = QF.Recording ] || fail ".qfi is not the type QF.Recording"
command=$(registry 'Software\Classes\QF.Recording\shell\open\command' @)
[ "$command" = "\"$installDir\\qf.exe\" \"%1\"" ] || fail "the open command is: $command"
[ -n "$(registry 'Software\Microsoft\Windows\CurrentVersion\Uninstall\QF' UninstallString)" ] ||
    fail "no uninstall entry"

# A recording started through its file type: the installed program (here the
# capture build in its place) starts with the recording and plays it once.
if [ -f "$dir/qf.exe" ]; then
    cp "$dir/qf.exe" "$work/qf.exe.installed"
    cp "$build/qf-capture.exe" "$dir/qf.exe"
    python3 - "$work/曲子 一.qfi" <<'PY'
import struct, sys
events = [(1, 256, 0x001E0001, 0), (120, 257, 0xC01E0001, 0)]
data = b"".join(struct.pack("<IiIi", *e) for e in events)
fmt = struct.pack("<III12x", len(events), 1297, 0)
info = b"INFO" + b"ISFT" + struct.pack("<I", 11) + b"QF by Olan\0\0" + b"ISCD" + struct.pack("<I", 11) + b"2003-05-08\0\0"
body = b"QF  " + b"LIST" + struct.pack("<I", len(info)) + info + b"fmt " + struct.pack("<I", 24) + fmt \
    + b"data" + struct.pack("<I", len(data)) + data
open(sys.argv[1], "wb").write(b"RIFF" + struct.pack("<I", len(body)) + body)
PY
    winName=$($wine winepath.exe -w "$work/曲子 一.qfi" 2>/dev/null | tr -d '\r')
    export QF_MIDI_LOG=$work/midi.log
    (cd "$work" && $wine cmd.exe /c start "" "$winName" >/dev/null 2>&1)
    for _ in $(seq 200); do
        grep -q ' msg -1 00007bbf' "$QF_MIDI_LOG" 2>/dev/null && break
        sleep 0.1
    done
    played=$(awk '$2 == "msg" {print $4}' "$QF_MIDI_LOG" 2>/dev/null | tr '\n' ' ')
    case "$played" in
        "000000c0 007f3c90 00003c80 00007bb0 "*) ;;
        *) fail "the recording started through its file type did not play: $played" ;;
    esac
    # The program ends when its window is closed.
    $wine "$build/tests/qf-peek.exe" send "琴坊 - [$winName]" 16 0 0 >/dev/null 2>&1 ||
        fail "no window titled 琴坊 - [$winName]"
    for _ in $(seq 100); do
        grep -q ' close -1' "$QF_MIDI_LOG" 2>/dev/null && break
        sleep 0.1
    done
    grep -q ' close -1' "$QF_MIDI_LOG" 2>/dev/null || fail "the program did not end on a close request"
    unset QF_MIDI_LOG
    cp "$work/qf.exe.installed" "$dir/qf.exe"
fi

# ---- uninstall ----
# The uninstaller copies itself away and runs from there; wait for it.
[ -f "$dir/uninstall.exe" ] && $wine "$installDir\\uninstall.exe" /S
for _ in $(seq 300); do
    [ -d "$dir" ] || break
    sleep 0.1
done
wineserver -w
[ ! -e "$dir" ] || fail "the install folder is still there: $(ls -A "$dir" | tr '\n' ' ')"
[ ! -e "$menu" ] || fail "the Start-menu folder is still there"
for key in 'Software\Classes\.qfi' 'Software\Classes\QF.Recording' 'Software\Classes\Applications\qf.exe' \
           'Software\QF' 'Software\Microsoft\Windows\CurrentVersion\Uninstall\QF'; do
    key_exists "$key" && fail "the registry key HKLM\\$key is still there"
done
registry 'Software\Microsoft\Windows\HTML Help' qf.chm >/dev/null && fail "the HTML Help entry is still there"
left=$(find "$WINEPREFIX/drive_c" \( -iname 'qf*' -o -name '*琴坊*' \) 2>/dev/null | head -5)
[ -z "$left" ] || fail "files of the program are left: $left"

if [ "$failures" -ne 0 ]; then
    echo "$failures failures"
    exit 1
fi
echo "installed, started through its file type, and uninstalled"
