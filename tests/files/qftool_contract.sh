#!/usr/bin/env bash
# The command-line contract of qftool that outside scripts rely on: the info
# format, the messages (UTF-8) and exit status of failures, export options
# and defaults, the info | write round trip, and outputs that never destroy
# an input.
# usage: qftool_contract.sh QFTOOL WORK_DIR
set -u
tool=$1 work=$2
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
# Failures are written down in a file: a check inside a pipeline runs in a
# subshell, where a counter would be lost.
failed_file=$PWD/failures.txt
: >"$failed_file"
fail() { echo "FAIL: $*"; echo "$*" >>"$failed_file"; }
hex() { od -An -tx1 -v "$1" | tr -d ' \n'; }

# Expects exit status $1 of the command after it.
expect_status() {
    local want=$1; shift
    "$@" >out.txt 2>err.txt
    local got=$?
    [ "$got" = "$want" ] || fail "$* exited $got, expected $want ($(cat err.txt))"
}

# write, then info prints the stored values and one line per event.
events='1000 256 00130001 0
500 257 c0130001 0
4294967295 300 ff35ffff -1
0 256 0000002a 1'
printf '%s\n' "$events" | expect_status 0 "$tool" write song.qfi --key 1302 --bass 1
[ "$(stat -c %s song.qfi)" = 168 ] || fail "a file of 4 events is 168 bytes"
expect_status 0 "$tool" info song.qfi
printf 'events 4\nkey 1302\nautobass 1\n%s\n' "$events" >want.txt
cmp -s out.txt want.txt || fail "info output: $(cat out.txt)"
[ -s err.txt ] && fail "info wrote to stderr: $(cat err.txt)"

# info | write round-trips (CRLF line ends too); the key and bass come from the options.
"$tool" info song.qfi | sed 's/$/\r/' | expect_status 0 "$tool" write copy.qfi --key 1302 --bass 1
"$tool" info copy.qfi >copy.txt
cmp -s copy.txt want.txt || fail "info | write round trip: $(cat copy.txt)"
[ "$(hex song.qfi)" = "$(hex copy.qfi)" ] || fail "the round trip gives the same bytes"
printf '1 256 0 0\n' | expect_status 0 "$tool" write plain.qfi --key 4294967295
"$tool" info plain.qfi | head -3 | tr '\n' ' ' | grep -qx 'events 1 key 4294967295 autobass 0 ' ||
    fail "write stores --key as given and bass off by default"

# Failures of info: the reader's message with the name, in UTF-8, status 1.
name='录音 1.qfi'
expect_status 1 "$tool" info "$name"
[ "$(cat err.txt)" = "不能找到或打开文件$name." ] || fail "missing file message: $(cat err.txt)"
[ -s out.txt ] && fail "a failed info printed to stdout"
printf 'RIFF\x04\x00\x00\x00WAVE' >wave.qfi
expect_status 1 "$tool" info wave.qfi
[ "$(cat err.txt)" = "文件wave.qfi不是标准的琴坊文件." ] || fail "WAVE message: $(cat err.txt)"
head -c 100 song.qfi >short.qfi
expect_status 1 "$tool" info short.qfi
[ "$(cat err.txt)" = "文件short.qfi不是标准的琴坊文件." ] || fail "short file message: $(cat err.txt)"
head -c 110 song.qfi >cut.qfi
expect_status 1 "$tool" info cut.qfi
[ "$(cat err.txt)" = "不能读取文件cut.qfi." ] || fail "cut file message: $(cat err.txt)"
expect_status 1 "$tool" export cut.qfi cut.mid
[ -e cut.mid ] && fail "an unreadable recording exports nothing"

# export writes the file (its bytes are the exporter's, checked elsewhere).
printf '1000 256 00130001 0\n500 257 c0130001 0\n' | "$tool" write example.qfi --key 1297
expect_status 0 "$tool" export example.qfi example.mid
[ "$(stat -c %s example.mid)" = 54 ] || fail "example export: $(hex example.mid)"

# export defaults: the file's key and auto bass, instrument 0.
expect_status 0 "$tool" export song.qfi default.mid
expect_status 0 "$tool" export song.qfi explicit.mid --key 1302 --instrument 0 --bass 1
cmp -s default.mid explicit.mid || fail "export defaults to the file's key and auto bass"
expect_status 0 "$tool" export song.qfi plain.mid --bass 0 --instrument 127 --key 1297
[ "$(head -c 14 plain.mid | od -An -tx1 | tr -d ' \n')" = 4d546864000000060000000100c0 ] || fail "--bass 0 gives format 0"
[ "$(dd if=plain.mid bs=1 skip=29 count=3 2>/dev/null | od -An -tx1 | tr -d ' \n')" = 00c07f ] ||
    fail "--instrument 127 is the program change"

# export failures: status 1, and an earlier file stays as it was.
cp example.mid keep.mid
expect_status 1 "$tool" export song.qfi keep.mid --key 1306
cmp -s example.mid keep.mid || fail "a failed export changed the earlier file"
expect_status 1 "$tool" export song.qfi keep.mid --instrument 128
expect_status 1 "$tool" export song.qfi keep.mid --bass 2
expect_status 1 "$tool" export song.qfi
expect_status 1 "$tool" export song.qfi no/such/dir.mid
cmp -s example.mid keep.mid || fail "bad options changed the earlier file"
[ "$(ls -A | grep -c '~qf')" = 0 ] || fail "temporary files left behind: $(ls)"

# write failures: status 1, no file.
printf '1000 256 130001\n' | expect_status 1 "$tool" write bad.qfi --key 1297
printf '1000 256 1300001zz 0\n' | expect_status 1 "$tool" write bad.qfi --key 1297
printf '4294967296 256 00130001 0\n' | expect_status 1 "$tool" write bad.qfi --key 1297
[ -e bad.qfi ] && fail "a bad event line wrote a file"
printf '1 256 00130001 0\n' | expect_status 1 "$tool" write bad.qfi
printf '1 256 00130001 0\n' | expect_status 1 "$tool" write no/such.qfi --key 1297
[ "$(cat err.txt)" = "不能创建文件no/such.qfi." ] || fail "cannot create message: $(cat err.txt)"
# A file without events would be refused by the program: none is written.
printf 'events 0\nkey 1297\nautobass 0\n' | expect_status 1 "$tool" write empty.qfi --key 1297
[ -e empty.qfi ] && fail "a write without events left a file"
expect_status 1 "$tool" frobnicate
expect_status 1 "$tool"

# An output that is one of the inputs, by whatever name, is refused and
# nothing changes; a symbolic link is written through to its target; what
# is no regular file (a folder, a pipe, a device) is refused.
cp song.qfi same.qfi && ln same.qfi hard.qfi && ln -s same.qfi soft.qfi && mkdir sub
printf '1=C\n1 2 3\n' >score.txt
cp score.txt score.kept
for args in "export same.qfi same.qfi" "export same.qfi ./same.qfi" "export same.qfi $PWD/same.qfi" \
    "export same.qfi hard.qfi" "export same.qfi soft.qfi" "export soft.qfi sub/../same.qfi" \
    "jianpu score.txt score.txt" "jianpu score.txt ./sub/../score.txt" "render same.qfi hard.qfi" \
    "import same.qfi same.qfi"; do
    expect_status 1 "$tool" $args
    grep -q "is the same file as" err.txt || fail "$args: $(cat err.txt)"
done
"$tool" write same.qfi --key 1297 <same.qfi >out.txt 2>err.txt && fail "write over its standard input"
grep -q "same file as the standard input" err.txt || fail "write over its standard input: $(cat err.txt)"
cmp -s same.qfi song.qfi && cmp -s score.txt score.kept || fail "a refused output changed its input"
ln -s new.mid link.mid && ln -s ../sub-target.mid sub/link.mid
expect_status 0 "$tool" export song.qfi link.mid
expect_status 0 "$tool" export song.qfi sub/link.mid
[ -L link.mid ] && [ -f new.mid ] && [ -L sub/link.mid ] && [ -f sub-target.mid ] ||
    fail "a symbolic link is written through: $(ls -l)"
mkfifo pipe.mid
for out in sub pipe.mid /dev/null; do
    expect_status 1 "$tool" export song.qfi "$out"
    grep -q "is not a regular file" err.txt || fail "$out: $(cat err.txt)"
done
[ -c /dev/null ] && [ -p pipe.mid ] || fail "a device or a pipe was replaced"
# What the user typed is quoted as it is, control characters as \xNN.
expect_status 1 "$tool" info $'bad\x1b[31m\x7f\xff 曲.qfi'
grep -qF 'bad\x1B[31m\x7F\xFF 曲.qfi' err.txt || fail "control characters quoted: $(od -c err.txt)"
# MIDI files in: a damaged one gets its message and status 1 and writes
# nothing; the options are checked; a recording takes no import options.
printf 'MThd\0\0\0\6\0\0\0\1\0\140MTrk\0\0\0\3\0\220\74' >cut.mid
expect_status 1 "$tool" import cut.mid damaged.qfi
[ "$(cat err.txt)" = "qftool: cut.mid: track 1 ends inside an event (byte 23)" ] || fail "damaged MIDI: $(cat err.txt)"
[ -e damaged.qfi ] && fail "a damaged MIDI file wrote a recording"
printf 'MThd\0\0\0\6\0\0\0\1\0\140MTrk\0\0\0\10\0\220\74\100\140\200\74\0' >one.mid
expect_status 0 "$tool" import one.mid one.qfi --track 1 --key 6=e
"$tool" info one.qfi | tr '\n' ' ' | grep -qx 'events 2 key 1317 autobass 0 0 256 00160001 0 500 257 c0160001 0 ' ||
    fail "one note imported in e minor: $("$tool" info one.qfi)"
expect_status 0 "$tool" keys one.mid --key 1297
[ "$(cat out.txt)" = "0.000  A 1" ] || fail "keys of a MIDI file: $(cat out.txt)"
expect_status 1 "$tool" import one.mid x.qfi --track 2
[ "$(cat err.txt)" = "qftool: one.mid has 1 tracks: --track takes 1 to 1" ] || fail "--track 2: $(cat err.txt)"
printf 'MThd\0\0\0\6\0\1\0\2\0\140MTrk\0\0\0\13\0\377\121\3\7\241\40\0\377\57\0MTrk\0\0\0\10\0\220\74\100\140\200\74\0' >tempo.mid
expect_status 1 "$tool" import tempo.mid x.qfi --track 1
[ "$(cat err.txt)" = "qftool: tempo.mid: no notes to play: the track has none" ] || fail "a tempo track: $(cat err.txt)"
for bad in "--key 1306" "--key 1=H" "--track 0" "--key auto --key auto"; do
    expect_status 1 "$tool" import one.mid x.qfi $bad
done
expect_status 1 "$tool" info song.qfi --key auto
expect_status 1 "$tool" import song.qfi x.qfi
[ "$(cat err.txt)" = "qftool: song.qfi: not a MIDI file: it does not begin with MThd" ] || fail "import of a .qfi: $(cat err.txt)"
[ -e x.qfi ] && fail "a failed import wrote a recording"

failures=$(wc -l <"$failed_file")
if [ "$failures" != 0 ]; then
    echo "$failures failures"
    exit 1
fi
echo "qftool keeps its contract"

