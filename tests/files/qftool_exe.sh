#!/usr/bin/env bash
# qftool.exe under Wine against the native qftool on the same inputs: the
# same output and messages byte for byte (both write UTF-8), the same exit
# status, and the same .qfi and .mid bytes, for file names in any script.
# usage: qftool_exe.sh NATIVE_QFTOOL WINDOWS_QFTOOL WORK_DIR   (Wine prepared)
set -u
native=$1 windows=$2 work=$3
rm -rf "$work" && mkdir -p "$work/native" "$work/windows" || exit 1
[ -x "$native" ] || { echo "FAIL: no native qftool at $native"; exit 1; }
failed_file=$work/failures.txt
: >"$failed_file"
fail() { echo "FAIL: $*"; echo "$*" >>"$failed_file"; }
wine=/usr/lib/wine/wine64

# Runs one qftool command line in both folders, with the same standard input.
both() { # input, arguments...
    local input=$1; shift
    (cd "$work/native" && printf '%s' "$input" | "$native" "$@" >out.txt 2>err.txt; echo $? >status.txt)
    (cd "$work/windows" && printf '%s' "$input" | $wine "$windows" "$@" >out.raw 2>err.raw; echo $? >status.txt
     tr -d '\r' <out.raw >out.txt
     tr -d '\r' <err.raw >err.txt)
    local what="qftool $*"
    cmp -s "$work/native/status.txt" "$work/windows/status.txt" ||
        fail "$what: exit status $(cat "$work/native/status.txt") natively, $(cat "$work/windows/status.txt") under Wine"
    cmp -s "$work/native/out.txt" "$work/windows/out.txt" ||
        fail "$what: standard output differs: $(diff "$work/native/out.txt" "$work/windows/out.txt" | head -5)"
    cmp -s "$work/native/err.txt" "$work/windows/err.txt" ||
        fail "$what: messages differ: $(cat "$work/native/err.txt") / $(cat "$work/windows/err.txt")"
}
same_file() { # name
    [ -f "$work/native/$1" ] || { fail "natively no $1"; return; }
    cmp -s "$work/native/$1" "$work/windows/$1" || fail "$1 differs between the two tools"
}

events='1000 256 00130001 0
500 257 c0130001 0
4294967295 300 ff35ffff -1
0 256 0000002a 1
65000 257 c0200001 1
'
both "$events" write song.qfi --key 1302 --bass 1
# The date inside differs only if midnight passed between the two writes.
same_file song.qfi
both "" info song.qfi
both "" export song.qfi song.mid
same_file song.mid
both "" export song.qfi plain.mid --key 1314 --instrument 40 --bass 0
same_file plain.mid
# A name beyond GBK: written, read and exported under it; and named in a message.
both "$events" write "歌曲 ♫.qfi" --key 1297
same_file "歌曲 ♫.qfi"
both "" export "歌曲 ♫.qfi" "歌曲 ♫.mid"
same_file "歌曲 ♫.mid"
both "" info "缺 ♫.qfi"
# Failures: the same message and status from both.
both "" info missing.qfi
printf 'RIFF\004\000\000\000WAVE' >"$work/native/wave.qfi"
cp "$work/native/wave.qfi" "$work/windows/wave.qfi"
both "" info wave.qfi
both "" export song.qfi bad.mid --key 1306
both "1000 256 130001
" write bad.qfi --key 1297
both "" frobnicate

# A song from jianpu (a GBK score), and the keys to press for it.
for d in native windows; do
    printf 'title=\322\364\275\327\n1=D 4=240\n1 3 5 1'"'"' | 1'"''"' 1,, q5 q5 5 ||\n' >"$work/$d/scale.txt"
    printf '1=C\n1 2 x 3\n' >"$work/$d/bad.txt"
done
both "" jianpu scale.txt scale.qfi
same_file scale.qfi
both "" keys scale.qfi
both "" jianpu bad.txt bad.qfi

# The song through the synthesizer: the same messages and a WAV file of the
# same length (its samples may differ in the last bit, float arithmetic).
both "" render scale.qfi scale.wav
[ "$(stat -c %s "$work/native/scale.wav")" = "$(stat -c %s "$work/windows/scale.wav" 2>/dev/null)" ] ||
    fail "scale.wav differs in length between the two tools"
both "" render scale.qfi none.wav --sf2 missing.sf2

failures=$(wc -l <"$failed_file")
if [ "$failures" != 0 ]; then
    echo "$failures failures"
    exit 1
fi
echo "qftool.exe and qftool agree"
