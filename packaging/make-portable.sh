#!/usr/bin/env bash
# Builds the portable zip: a folder QF with qf.exe, qftool.exe, qf.chm, the
# SoundFont qf.sf2 with its licence qf.sf2-license.txt, and readme.txt.
#   make-portable.sh QF_EXE QFTOOL_EXE QF_CHM QF_SF2 SF2_LICENSE README_UTF8 STAGE_DIR OUTPUT_ZIP
# The readme is stored in GBK with CRLF line ends, as Notepad on a Chinese
# Windows expects a plain text file.
set -euo pipefail
if [ $# -ne 8 ]; then
  echo "usage: $0 QF_EXE QFTOOL_EXE QF_CHM QF_SF2 SF2_LICENSE README_UTF8 STAGE_DIR OUTPUT_ZIP" >&2
  exit 2
fi
exe=$1 tool=$2 chm=$3 sf2=$4 licence=$5 readme=$6 stage=$7 out=$8
cmake=${CMAKE_COMMAND:-cmake}

rm -rf "$stage"
mkdir -p "$stage/QF"
cp "$exe" "$stage/QF/qf.exe"
cp "$tool" "$stage/QF/qftool.exe"
cp "$chm" "$stage/QF/qf.chm"
cp "$sf2" "$stage/QF/qf.sf2"
cp "$licence" "$stage/QF/qf.sf2-license.txt"
iconv -f UTF-8 -t GBK "$readme" | sed 's/$/\r/' > "$stage/QF/readme.txt"
rm -f "$out"
(cd "$stage" && "$cmake" -E tar cf "$out" --format=zip QF/qf.exe QF/qftool.exe QF/qf.chm QF/qf.sf2 \
  QF/qf.sf2-license.txt QF/readme.txt)
