#!/usr/bin/env bash
# Installs what is missing, builds the three builds (native, i686, x86_64)
# and runs every test: native unit and script tests under AddressSanitizer,
# the Windows-side tests under Wine (the 32-bit product, then the 64-bit
# build), and the end-to-end harness headless against the 32-bit program.
# Where the kernel cannot run 32-bit programs (so neither can Wine), the
# Windows-side and end-to-end tests run the 64-bit build, and say so.
# Any failed build, failed test or skipped test makes the run fail: here
# everything a test needs is installed, so a skip means something is wrong.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup.sh || { echo "setup failed"; exit 1; }

jobs=${QF_JOBS:-2}
mkdir -p build

# Configures and builds one build; the compiler's messages are shown, the
# progress lines are not. Fails when the configure or the build fails.
build() { # dir, extra cmake arguments
    local dir=$1 status; shift
    if ! cmake -S . -B "$dir" -DQF_REQUIRE_TEST_TOOLS=ON "$@" >"$dir.configure.log" 2>&1; then
        cat "$dir.configure.log"
        return 1
    fi
    cmake --build "$dir" -j"$jobs" >"$dir.build.log" 2>&1
    status=$?
    grep -Ev '^\[ *[0-9]+%\]|^-- ' "$dir.build.log"
    return $status
}
build build/native -DCMAKE_BUILD_TYPE=Debug -DQF_SANITIZE=ON || { echo "FAILED: the native build"; exit 1; }
build build/i686 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686.cmake \
    "-DCMAKE_CXX_FLAGS=-Werror" "-DCMAKE_C_FLAGS=-Werror" || { echo "FAILED: the i686 build"; exit 1; }
build build/x86_64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64.cmake \
    "-DCMAKE_CXX_FLAGS=-Werror" "-DCMAKE_C_FLAGS=-Werror" || { echo "FAILED: the x86_64 build"; exit 1; }

passed=0
failed=0
skipped=0
problems=()

# Runs one ctest suite in a build folder and adds up its results from the
# summary ctest prints; a suite whose summary is missing counts as failed.
ctest_suite() { # name, build dir
    local name=$1 dir=$2 log="build/$1-tests.log" status line total bad skips
    echo "== $name"
    (cd "$dir" && ctest --output-on-failure -j"$jobs") 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
    line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n1)
    if [ -z "$line" ]; then
        failed=$((failed + 1))
        problems+=("$name: no test summary (ctest exit status $status)")
        return
    fi
    bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
    skips=$(grep -cE '^[[:space:]]*[0-9]+ - .*\(Skipped\)$' "$log")
    [ "$total" -gt 0 ] || problems+=("$name: no tests ran")
    [ "$total" -gt 0 ] || failed=$((failed + 1))
    passed=$((passed + total - bad - skips))
    failed=$((failed + bad))
    skipped=$((skipped + skips))
    [ "$bad" -eq 0 ] || problems+=("$name: $bad failed")
    if [ "$skips" -gt 0 ]; then
        while read -r t; do problems+=("$name: skipped $t"); done \
            < <(grep -E '^[[:space:]]*[0-9]+ - .*\(Skipped\)$' "$log" | sed -E 's/^[[:space:]]*//')
    fi
    if [ "$status" -ne 0 ] && [ "$bad" -eq 0 ]; then
        failed=$((failed + 1))
        problems+=("$name: ctest exit status $status")
    fi
}

ctest_suite native build/native

source scripts/wine-session.sh
arch=$(wine_test_arch)
if [ "$arch" != i686 ]; then
    echo "NOTE: this machine's kernel cannot run 32-bit programs, so Wine cannot start the"
    echo "      32-bit product: the Windows-side and end-to-end tests run the x86_64 build."
fi
wine_session_start "$root/build/$arch/tests/qf-keeper.exe"

[ "$arch" != i686 ] || ctest_suite windows-i686 build/i686
ctest_suite windows-x86_64 build/x86_64

echo "== end-to-end ($arch)"
/usr/bin/python3 tests/e2e/harness.py --build "$root/build" --arch "$arch" 2>&1 | tee build/e2e.log
e2e_status=${PIPESTATUS[0]}
e2e=$(grep -E '^e2e: [0-9]+ passed, [0-9]+ failed' build/e2e.log | tail -n1)
if [ -z "$e2e" ]; then
    failed=$((failed + 1))
    problems+=("end-to-end: no summary (exit status $e2e_status)")
else
    passed=$((passed + $(sed -E 's/e2e: ([0-9]+) passed.*/\1/' <<<"$e2e")))
    e2e_failed=$(sed -E 's/.* ([0-9]+) failed.*/\1/' <<<"$e2e")
    failed=$((failed + e2e_failed))
    [ "$e2e_failed" -eq 0 ] || problems+=("end-to-end: $e2e_failed failed")
    if [ "$e2e_status" -ne 0 ] && [ "$e2e_failed" -eq 0 ]; then
        failed=$((failed + 1))
        problems+=("end-to-end: exit status $e2e_status")
    fi
fi

wine_session_stop
echo "all: $passed passed, $failed failed, $skipped skipped"
for p in "${problems[@]}"; do echo "  $p"; done
[ "$failed" -eq 0 ] && [ "$skipped" -eq 0 ]
