#!/usr/bin/env bash
# Painting benchmark: cost of a full repaint of the main window with and without its pictures,
# and a soak of repaints sampling the program's GDI objects, handles and memory.
# Usage: bench/look/run.sh [repaints]   (default 600)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"
# shellcheck source=scripts/private-display.sh
source scripts/private-display.sh

cmake --preset windows >/dev/null
cmake --build --preset windows -j "${BRENVIK_JOBS:-2}" --target Brenvik-USB look-bench look-soak

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
"$wine_run" ./look-bench.exe "${1:-600}"
"$wine_run" ./look-soak.exe "${1:-600}"
