#!/usr/bin/env bash
# Builds everything (native and Windows) and runs every test: the native GoogleTest suites and
# the Windows tests under Wine on a private virtual display. Ends with CTest's summary line.
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

# One CTest tree over both builds, so one run gives one summary.
cat >build/CTestTestfile.cmake <<'CTEST'
subdirs("native")
subdirs("windows")
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

ctest --test-dir build -j "$jobs" --output-on-failure
