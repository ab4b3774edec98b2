#!/usr/bin/env bash
# Installs what is missing, builds the three builds (native, i686, x86_64)
# and runs every test: native unit and script tests under AddressSanitizer,
# the Windows-side tests under wine64, and the end-to-end harness headless.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup.sh || exit 1

jobs=${QF_JOBS:-2}
build() { # dir, extra cmake arguments
    local dir=$1; shift
    cmake -S . -B "$dir" "$@" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
    cmake --build "$dir" -j"$jobs" 2>&1 | grep -Ev '^\[ *[0-9]+%\]|^-- ' || true
    [ "${PIPESTATUS[0]}" -eq 0 ]
}
mkdir -p build
build build/native -DCMAKE_BUILD_TYPE=Debug -DQF_SANITIZE=ON || { echo "native build failed"; exit 1; }
build build/i686 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686.cmake "-DCMAKE_CXX_FLAGS=-Werror" "-DCMAKE_C_FLAGS=-Werror" || { echo "i686 build failed"; exit 1; }
build build/x86_64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64.cmake || { echo "x86_64 build failed"; exit 1; }

passed=0
failed=0
count_ctest() { # adds up ctest's closing line from a log
    local line
    line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n1)
    [ -n "$line" ] || { failed=$((failed + 1)); return; }
    local f t
    f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    t=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
    passed=$((passed + t - f))
    failed=$((failed + f))
}

echo "== native tests"
(cd build/native && ctest --output-on-failure -j"$jobs") 2>&1 | tee build/native-tests.log
count_ctest build/native-tests.log

source scripts/wine-session.sh
wine_session_start "$root/build/x86_64/tests/qf-keeper.exe"

echo "== Windows-side tests (wine64)"
(cd build/x86_64 && ctest --output-on-failure) 2>&1 | tee build/windows-tests.log
count_ctest build/windows-tests.log

echo "== end-to-end"
/usr/bin/python3 tests/e2e/harness.py --build "$root/build" 2>&1 | tee build/e2e.log
e2e=$(grep -E '^e2e: [0-9]+ passed, [0-9]+ failed' build/e2e.log | tail -n1)
if [ -n "$e2e" ]; then
    passed=$((passed + $(sed -E 's/e2e: ([0-9]+) passed.*/\1/' <<<"$e2e")))
    failed=$((failed + $(sed -E 's/.* ([0-9]+) failed.*/\1/' <<<"$e2e")))
else
    failed=$((failed + 1))
fi

wine_session_stop
echo "all: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
