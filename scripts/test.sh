#!/usr/bin/env bash
# Builds everything (native and Windows) and runs every test: the native GoogleTest suites (also
# under the address and undefined-behaviour sanitizers), a few seconds of each fuzz target, and
# the Windows tests under Wine on a private virtual display. Prints the tests' share of the code
# and ends with CTest's summary line.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
# shellcheck source=scripts/private-display.sh
source scripts/private-display.sh

scripts/install-deps.sh

jobs="${BRENVIK_JOBS:-2}"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
# The native suites again under AddressSanitizer and UndefinedBehaviorSanitizer, and a few
# seconds of each fuzz target.
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs" --target native_tests
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"

# One CTest tree over every build, so one run gives one summary.
cat >build/CTestTestfile.cmake <<'CTEST'
subdirs("native")
subdirs("windows")
subdirs("asan")
subdirs("fuzz")
CTEST

XVFB_PID=""
cleanup() {
    build/windows/wine-run.sh --stop || true
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
    fi
}
trap cleanup EXIT

# A virtual display of our own: the tests never touch the user's display.
start_private_display

# The tests' share of the code, printed before the run so CTest's summary stays the last line.
scripts/test-share.py
ctest --test-dir build -j "$jobs" --output-on-failure
