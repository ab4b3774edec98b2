#!/usr/bin/env bash
# Builds the recording file fuzzer and the MIDI file fuzzer (or, with
# "soundfont", the SoundFont reader's) with clang (libFuzzer,
# AddressSanitizer, UndefinedBehaviorSanitizer) and runs each for
# QF_FUZZ_SECONDS (default 20).
# usage: fuzz.sh CLANGXX SOURCE_DIR WORK_DIR [recording|soundfont]
set -eu
clangxx=$1 src=$2 work=$3 target=${4:-recording}
seconds=${QF_FUZZ_SECONDS:-20}
mkdir -p "$work/corpus"
if [ "$target" = soundfont ]; then
    "$clangxx" -std=c++17 -O1 -g -fno-omit-frame-pointer \
        -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
        -I "$src/src" "$src/tests/fuzz/soundfont_fuzzer.cpp" \
        "$src"/src/portable/synth/*.cpp \
        -o "$work/soundfont_fuzzer"
    cd "$work"
    exec ./soundfont_fuzzer -max_total_time="$seconds" -max_len=16384 -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 "$work/corpus" "$src/tests/fuzz/soundfont_seeds"
fi
"$clangxx" -std=c++17 -O1 -g -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I "$src/src" \
    "$src/tests/fuzz/recording_file_fuzzer.cpp" \
    "$src/src/portable/formats/recording_file.cpp" "$src/src/portable/formats/midi_export.cpp" \
    "$src/src/portable/formats/file_platform_posix.cpp" "$src/src/portable/song/replay.cpp" \
    -o "$work/recording_file_fuzzer"
# New inputs go to the build's corpus; the seeds in the source tree stay.
cd "$work"
./recording_file_fuzzer -max_total_time="$seconds" -max_len=8192 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 "$work/corpus" "$src/tests/fuzz/seeds"

# The MIDI file readers (notes, and messages) and the conversion of its notes
# into key presses, through the song reader (which reads the same bytes as a
# jianpu score too).
mkdir -p "$work/midi_corpus"
"$clangxx" -std=c++17 -O1 -g -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I "$src/src" \
    "$src/tests/fuzz/midi_file_fuzzer.cpp" "$src/src/portable/formats/midi_file.cpp" \
    "$src/src/portable/formats/midi_import.cpp" "$src/src/portable/formats/midi_messages.cpp" \
    "$src/src/portable/formats/midi_keys.cpp" "$src/src/portable/formats/jianpu.cpp" \
    "$src/src/portable/formats/score_text.cpp" "$src/src/portable/formats/program_text_posix.cpp" \
    "$src/src/portable/song/replay.cpp" "$src/src/portable/formats/song_file.cpp" \
    "$src/src/portable/formats/recording_file.cpp" "$src/src/portable/formats/file_platform_posix.cpp" \
    -o "$work/midi_file_fuzzer"
./midi_file_fuzzer -max_total_time="$seconds" -max_len=8192 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 "$work/midi_corpus" "$src/tests/fuzz/midi_seeds"
