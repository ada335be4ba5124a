#!/usr/bin/env bash
# Builds Brenvik-USB and runs it against the virtual bridge and supply (the stand-in FTCSPI.dll
# beside the program). On a desktop it opens the window and returns when the program ends.
# Without a display it runs the program on a virtual one, waits for the window and the first
# connection, saves a screenshot, prints its path and the status line, and closes the program.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
# shellcheck source=scripts/private-display.sh
source scripts/private-display.sh

scripts/install-deps.sh

cmake --preset windows >/dev/null
cmake --build --preset windows -j "${BRENVIK_JOBS:-2}" --target Brenvik-USB ftcspi_stand_in brenvik-probe

bin="$root/build/windows/bin"
wine_run="$root/build/windows/wine-run.sh"
"$wine_run" --start

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    cd "$bin"
    status=0
    "$wine_run" ./Brenvik-USB.exe || status=$?
    "$wine_run" --stop
    exit "$status"
fi

XVFB_PID=""
program_pid=""
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
    "$wine_run" --stop
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    return 0
}
trap cleanup EXIT

start_private_display

cd "$bin"
"$wine_run" ./Brenvik-USB.exe &
program_pid=$!

probe() { "$wine_run" ./brenvik-probe.exe "$@"; }
probe wait-window 60000
# The first connection starts half a second after the window appears and reads the supply's
# settings back for a little over two seconds; wait for its outcome before looking.
probe wait-status "Connect device" 15000 >/dev/null || true
sleep 1

screenshot="$root/build/windows/screenshot.png"
import -window root "$screenshot"
echo "Screenshot: $screenshot"
echo "Status line: $(probe status)"

probe close
wait "$program_pid" || true
program_pid=""
