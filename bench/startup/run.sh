#!/usr/bin/env bash
# Start-up benchmark: time from process start to visible main window for Brenvik-USB and for a
# minimal dialog program built the same way, both under the same Wine in one run.
# Usage: bench/startup/run.sh [runs]   (default 5)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"
# shellcheck source=scripts/private-display.sh
source scripts/private-display.sh

cmake --preset windows >/dev/null
cmake --build --preset windows -j "${BRENVIK_JOBS:-2}" --target Brenvik-USB startup-minimal startup-timer

wine_run="$root/build/windows/wine-run.sh"
XVFB_PID=""
cleanup() {
    "$wine_run" --stop
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
    fi
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    start_private_display
fi

"$wine_run" --start
cd build/windows/bin
"$wine_run" ./startup-timer.exe "${1:-5}"
