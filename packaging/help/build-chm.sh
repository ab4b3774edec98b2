#!/usr/bin/env bash
# Compiles the help file from the UTF-8 sources in this folder.
#   build-chm.sh SOURCE_DIR WORK_DIR OUTPUT_CHM
# HTML Help reads its project, contents and index files in the ANSI code page,
# so every text source is converted to GBK (code page 936) first and the pages
# declare gb2312, the name under which HTML Help's engine knows that code page.
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 SOURCE_DIR WORK_DIR OUTPUT_CHM" >&2
  exit 2
fi
src=$1 work=$2 out=$3
command -v chmcmd >/dev/null || { echo "chmcmd not found (Debian package fp-utils)" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
for f in "$src"/*.htm "$src"/*.hhc "$src"/*.hhk "$src"/*.hhp "$src"/*.css; do
  [ -e "$f" ] || continue
  name=$(basename "$f")
  # iconv fails on any character that GBK cannot hold, which stops the build.
  if ! iconv -f UTF-8 -t GBK "$f" > "$work/$name"; then
    echo "$f: text that GBK cannot encode" >&2
    exit 1
  fi
  case $name in
    *.htm|*.hhc|*.hhk) sed -i 's/charset=utf-8/charset=gb2312/I' "$work/$name" ;;
  esac
done

# Pictures go in as they are.
for f in "$src"/*.png; do
  [ -e "$f" ] && cp "$f" "$work/"
done

log="$work/chmcmd.log"
if ! (cd "$work" && chmcmd --verbosity 1 qf.hhp) > "$log" 2>&1; then
  cat "$log" >&2
  exit 1
fi
if [ ! -s "$work/qf.chm" ]; then
  cat "$log" >&2
  echo "chmcmd wrote no qf.chm" >&2
  exit 1
fi
mkdir -p "$(dirname "$out")"
mv -f "$work/qf.chm" "$out"
