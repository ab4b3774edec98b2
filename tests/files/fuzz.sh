#!/usr/bin/env bash
# Builds the recording file fuzzer (or, with "soundfont", the SoundFont
# reader's) with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs it for QF_FUZZ_SECONDS (default 20).
# usage: fuzz.sh CLANGXX SOURCE_DIR WORK_DIR [recording|soundfont]
set -eu
clangxx=$1 src=$2 work=$3 target=${4:-recording}
seconds=${QF_FUZZ_SECONDS:-20}
mkdir -p "$work/corpus"
if [ "$target" = soundfont ]; then
    "$clangxx" -std=c++17 -O1 -g -fno-omit-frame-pointer \
        -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
        -I "$src/src" "$src/tests/fuzz/soundfont_fuzzer.cpp" \
        "$src/src/synth/soundfont.cpp" "$src/src/synth/voice.cpp" "$src/src/synth/synth.cpp" \
        -o "$work/soundfont_fuzzer"
    cd "$work"
    exec ./soundfont_fuzzer -max_total_time="$seconds" -max_len=16384 -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 "$work/corpus" "$src/tests/fuzz/soundfont_seeds"
fi
"$clangxx" -std=c++17 -O1 -g -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I "$src/src" \
    "$src/tests/fuzz/recording_file_fuzzer.cpp" \
    "$src/src/files/recording_file.cpp" "$src/src/files/midi_export.cpp" \
    "$src/src/files/replace_file_posix.cpp" \
    -o "$work/recording_file_fuzzer"
# New inputs go to the build's corpus; the seeds in the source tree stay.
cd "$work"
exec ./recording_file_fuzzer -max_total_time="$seconds" -max_len=8192 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 "$work/corpus" "$src/tests/fuzz/seeds"
