#!/usr/bin/env bash
# Builds everything (native and Windows) and runs every test: the native GoogleTest suites and
# the Windows tests under Wine on a private virtual display. Ends with CTest's summary line.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

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

xvfb_pid=""
cleanup() {
    build/windows/wine-run.sh --stop || true
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT

# A virtual display of our own: the tests never touch the user's display.
display_file="$(mktemp)"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do
    [ -s "$display_file" ] && break
    sleep 0.1
done
export DISPLAY=":$(head -n1 "$display_file")"
rm -f "$display_file"

ctest --test-dir build -j "$jobs" --output-on-failure
