#!/usr/bin/env bash
# Checks the help file and the Windows packages.
#   check-packages.sh help HELP_SOURCE_DIR WORK_DIR
#       compiles qf.chm from the sources into WORK_DIR and checks it
#   check-packages.sh packages BUILD_DIR
#       checks qf.chm, qf-setup.exe and qf-portable.zip of a 32-bit build
# Exit status 77 means skipped (a tool or the packages are missing).
set -uo pipefail

SKIP=77
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
skip() { echo "SKIPPED: $*"; exit $SKIP; }
need() { command -v "$1" >/dev/null || skip "$1 is not installed ($2)"; }

# Names of the files stored in an archive, one a line, as 7z lists them.
ArchiveNames() {
  7z l -ba -slt "$1" 2>/dev/null | sed -n 's/^Path = //p'
}

# Checks one compiled help file: its start topic, its contents and index, every
# link of every page, and the code page of the pages.
CheckChm() {
  local chm=$1 dir
  dir=$(mktemp -d)
  if ! 7z t "$chm" >/dev/null 2>&1; then
    fail "$chm does not test as a valid archive"
    rm -rf "$dir"; return
  fi
  ArchiveNames "$chm" > "$dir/names"
  mkdir "$dir/x"
  7z x -y -o"$dir/x" "$chm" >/dev/null 2>&1 || fail "$chm cannot be extracted"
  for name in default.htm qf.hhc qf.hhk '#SYSTEM'; do
    grep -qxF "$name" "$dir/names" || fail "$chm lacks $name"
  done
  python3 - "$dir/x" "$dir/names" "$chm" <<'PY' || failures=$((failures + 1))
import os, re, struct, sys
root, names_file, chm = sys.argv[1], sys.argv[2], sys.argv[3]
names = {n.strip().replace("\\", "/").lower() for n in open(names_file, encoding="utf-8", errors="replace")}
bad = []

# The start topic recorded in #SYSTEM (record code 2) is the one the program
# opens; its language (the first word of record 4) is Chinese (PRC), 0x0804,
# so that the contents and the index, GBK text, read right on any code page.
data = open(os.path.join(root, "#SYSTEM"), "rb").read()
pos, topic, language = 4, None, None
while pos + 4 <= len(data):
    code, size = struct.unpack_from("<HH", data, pos)
    if code == 2:
        topic = data[pos + 4:pos + 4 + size].rstrip(b"\0").decode("ascii", "replace")
    if code == 4 and size >= 4:
        language = struct.unpack_from("<I", data, pos + 4)[0]
    pos += 4 + size
if topic != "default.htm":
    bad.append("start topic is %r, not default.htm" % topic)
if language != 0x0804:
    bad.append("language is %r, not 0x0804" % language)

link = re.compile(rb'(?:href|src)\s*=\s*"([^"]*)"|name="Local"\s+value="([^"]*)"', re.I)
pages = [n for n in names if n.endswith((".htm", ".html", ".hhc", ".hhk"))]
for page in sorted(pages):
    text = open(os.path.join(root, page), "rb").read()
    try:
        text.decode("gbk")
    except UnicodeDecodeError as e:
        bad.append("%s is not GBK text: %s" % (page, e))
    if page.endswith((".htm", ".html")) and not re.search(rb"charset=gb2312", text, re.I):
        bad.append("%s does not declare charset=gb2312" % page)
    for m in link.finditer(text):
        target = (m.group(1) or m.group(2)).decode("ascii", "replace")
        if re.match(r"^[a-z]+:", target, re.I) or target.startswith("#"):
            continue  # another protocol, or a place in the same page
        target = target.split("#")[0]
        path = os.path.normpath(os.path.join(os.path.dirname(page), target)).replace("\\", "/")
        if path.lower() not in names:
            bad.append("%s links to %s, which the help file lacks" % (page, target))
for b in bad:
    print("FAIL: %s: %s" % (chm, b), file=sys.stderr)
print("%s: %d pages and lists checked, start topic %s" % (chm, len(pages), topic))
sys.exit(1 if bad else 0)
PY
  rm -rf "$dir"
}

CheckHelp() {
  local src=$1 work=$2
  need chmcmd "Debian package fp-utils"
  need 7z "Debian package p7zip-full"
  need python3 "Debian package python3"
  mkdir -p "$work"
  if ! "$src/build-chm.sh" "$src" "$work/src" "$work/qf.chm"; then
    fail "the help sources do not compile"
    return
  fi
  CheckChm "$work/qf.chm"
  # Every page in the sources is in the project, so none is left out of qf.chm.
  local page
  for page in "$src"/*.htm; do
    grep -qxF "$(basename "$page")" "$src/qf.hhp" || fail "$(basename "$page") is not listed in qf.hhp"
  done
}

# The exe stored in a package must be the 32-bit program of this build.
CheckSameExe() {
  local what=$1 exe=$2 build=$3
  if ! file "$exe" | grep -q 'PE32 executable.*Intel 80386'; then
    fail "$what: qf.exe is not a 32-bit Windows program: $(file -b "$exe")"
  fi
  cmp -s "$exe" "$build/qf.exe" || fail "$what: qf.exe differs from $build/qf.exe (package out of date?)"
}

CheckPackages() {
  local build=$1 dir
  need 7z "Debian package p7zip-full"
  need python3 "Debian package python3"
  need file "Debian package file"
  for f in qf.exe qftool.exe qf.chm qf.sf2 qf.sf2-license.txt qf-setup.exe qf-portable.zip; do
    [ -f "$build/$f" ] || skip "$build/$f is missing; build the 32-bit program first (cmake --build build/i686)"
  done
  dir=$(mktemp -d)

  CheckChm "$build/qf.chm"

  # The SoundFont is Debian's TimGM6mb, its licence the copyright file.
  cmp -s "$build/qf.sf2" /usr/share/sounds/sf2/TimGM6mb.sf2 || fail "qf.sf2 is not TimGM6mb.sf2"
  grep -q 'Files: TimGM6mb.sf2' "$build/qf.sf2-license.txt" && grep -q 'GNU GENERAL PUBLIC LICENSE' \
    "$build/qf.sf2-license.txt" || fail "qf.sf2-license.txt lacks the font's copyright or the GPL-2 text"

  # The installer: a 32-bit NSIS program holding qf.exe, qftool.exe, qf.chm,
  # qf.sf2 and its licence.
  file "$build/qf-setup.exe" | grep -q 'PE32 executable.*Nullsoft' ||
    fail "qf-setup.exe is not a 32-bit NSIS installer: $(file -b "$build/qf-setup.exe")"
  ArchiveNames "$build/qf-setup.exe" > "$dir/setup.names"
  for f in qf.exe qftool.exe qf.chm qf.sf2 qf.sf2-license.txt uninstall.exe; do
    grep -qxF "$f" "$dir/setup.names" || fail "qf-setup.exe does not install $f"
  done
  mkdir "$dir/setup"
  if 7z x -y -o"$dir/setup" "$build/qf-setup.exe" qf.exe qftool.exe qf.chm qf.sf2 qf.sf2-license.txt \
      >/dev/null 2>&1; then
    CheckSameExe qf-setup.exe "$dir/setup/qf.exe" "$build"
    cmp -s "$dir/setup/qftool.exe" "$build/qftool.exe" || fail "qf-setup.exe: qftool.exe differs from $build/qftool.exe"
    cmp -s "$dir/setup/qf.chm" "$build/qf.chm" || fail "qf-setup.exe: qf.chm differs from $build/qf.chm"
    for f in qf.sf2 qf.sf2-license.txt; do
      cmp -s "$dir/setup/$f" "$build/$f" || fail "qf-setup.exe: $f differs from $build/$f"
    done
  else
    fail "qf.exe and qf.chm cannot be extracted from qf-setup.exe"
  fi

  # The portable zip: the same five files and a readme in GBK.
  ArchiveNames "$build/qf-portable.zip" > "$dir/zip.names"
  for f in QF/qf.exe QF/qftool.exe QF/qf.chm QF/qf.sf2 QF/qf.sf2-license.txt QF/readme.txt; do
    grep -qxF "$f" "$dir/zip.names" || fail "qf-portable.zip lacks $f"
  done
  mkdir "$dir/zip"
  if 7z x -y -o"$dir/zip" "$build/qf-portable.zip" >/dev/null 2>&1; then
    CheckSameExe qf-portable.zip "$dir/zip/QF/qf.exe" "$build"
    cmp -s "$dir/zip/QF/qftool.exe" "$build/qftool.exe" || fail "qf-portable.zip: qftool.exe differs"
    cmp -s "$dir/zip/QF/qf.chm" "$build/qf.chm" || fail "qf-portable.zip: qf.chm differs from $build/qf.chm"
    for f in qf.sf2 qf.sf2-license.txt; do
      cmp -s "$dir/zip/QF/$f" "$build/$f" || fail "qf-portable.zip: $f differs from $build/$f"
    done
    iconv -f GBK -t UTF-8 "$dir/zip/QF/readme.txt" >/dev/null 2>&1 || fail "readme.txt is not GBK text"
    grep -q $'\r$' "$dir/zip/QF/readme.txt" || fail "readme.txt lacks CRLF line ends"
  else
    fail "qf-portable.zip cannot be extracted"
  fi
  rm -rf "$dir"
}

case ${1:-} in
  help) [ $# -eq 3 ] || { echo "usage: $0 help HELP_SOURCE_DIR WORK_DIR" >&2; exit 2; }
        CheckHelp "$2" "$3" ;;
  packages) [ $# -eq 2 ] || { echo "usage: $0 packages BUILD_DIR" >&2; exit 2; }
        CheckPackages "$2" ;;
  *) echo "usage: $0 help HELP_SOURCE_DIR WORK_DIR | packages BUILD_DIR" >&2; exit 2 ;;
esac

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all checks passed"
