#!/usr/bin/env bash
# Start-up benchmark: time from process start to visible main window for Brenvik-USB and for a
# minimal dialog program built the same way, both under the same Wine in one run.
# Usage: bench/startup/run.sh [runs]   (default 5)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"

cmake --preset windows >/dev/null
cmake --build --preset windows -j "${BRENVIK_JOBS:-2}" --target Brenvik-USB startup-minimal startup-timer

wine_run="$root/build/windows/wine-run.sh"
xvfb_pid=""
cleanup() {
    "$wine_run" --stop
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    display_file="$(mktemp)"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 100); do
        [ -s "$display_file" ] && break
        sleep 0.1
    done
    export DISPLAY=":$(head -n1 "$display_file")"
    rm -f "$display_file"
fi

"$wine_run" --start
cd build/windows/bin
"$wine_run" ./startup-timer.exe "${1:-5}"
