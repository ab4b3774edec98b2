#!/usr/bin/python3
"""The rooms of src/ and their #include arrows: a portable room (src/portable/*)
includes no Windows header and no Windows room (src/windows/*) or qftool;
no Windows room includes qftool; every quoted include names a file of src/;
and the rooms include each other in no circle.

usage: check_rooms.py SOURCE_DIR
"""
import os
import re
import sys

SRC = os.path.join(sys.argv[1], "src")
# System headers that only Windows has.
WINDOWS_HEADERS = re.compile(
    r"^(windows|winsock2?|ws2tcpip|mmsystem|mmreg|commdlg|commctrl|shellapi|shlobj|shlwapi|objbase|"
    r"combaseapi|mmdeviceapi|audioclient|audiopolicy|avrt|functiondiscoverykeys(_devpkey)?|propidl|"
    r"propsys|ksmedia|htmlhelp|winreg|winuser|wingdi|io|direct\.h|process)(\.h)?$", re.I)
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def room_of(path):
    """'portable/song', 'windows/program', 'qftool' for a path under src/."""
    parts = path.split("/")
    return parts[0] if parts[0] == "qftool" else "/".join(parts[:2])


problems = []
arrows = {}
for folder, _, names in os.walk(SRC):
    for name in sorted(names):
        if not name.endswith((".h", ".cpp", ".c")):
            continue
        path = os.path.relpath(os.path.join(folder, name), SRC).replace(os.sep, "/")
        room = room_of(path)
        arrows.setdefault(room, set())
        with open(os.path.join(SRC, path), encoding="utf-8") as f:
            for number, line in enumerate(f, 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                where = "%s:%d: %s" % (path, number, line.strip())
                if m.group(1) == "<":
                    if room.startswith("portable/") and WINDOWS_HEADERS.match(m.group(2)):
                        problems.append(where + "  (a Windows header in a portable room)")
                    continue
                target = m.group(2)
                if not os.path.isfile(os.path.join(SRC, target)):
                    problems.append(where + "  (no such file under src/)")
                    continue
                other = room_of(target)
                if other == room:
                    continue
                arrows[room].add(other)
                if room.startswith("portable/") and not other.startswith("portable/"):
                    problems.append(where + "  (a portable room includes " + other + ")")
                if room.startswith("windows/") and other == "qftool":
                    problems.append(where + "  (a Windows room includes qftool)")

# A circle among the rooms: depth-first search for an arrow back to a room
# still on the path.
state = {}


def visit(room, path):
    state[room] = "open"
    for other in sorted(arrows.get(room, ())):
        if state.get(other) == "open":
            problems.append("the rooms include each other in a circle: " +
                            " -> ".join(path[path.index(other):] + [other]))
        elif other not in state:
            visit(other, path + [other])
    state[room] = "done"


for room in sorted(arrows):
    if room not in state:
        visit(room, [room])

for room in sorted(arrows):
    print("%-18s -> %s" % (room, ", ".join(sorted(arrows[room])) or "(nothing)"))
for p in problems:
    print("FAIL:", p)
if problems:
    sys.exit(1)
print("%d rooms, every arrow points down" % len(arrows))
