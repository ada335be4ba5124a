#!/usr/bin/env bash
# Checks that an adapter library answers as the vendor's FTCSPI.dll does: runs the conformance
# table against it under Wine (this build's private prefix) and prints one line per row, "ok",
# "differs: ..." or "skipped: ..." (rows that need a device when none is attached).
#   scripts/check-adapter-library.sh [PATH-TO-FTCSPI.dll]   (default: the stand-in library)
# Exits 0 when no row differs. On Windows run build/windows/bin/check-adapter-library.exe
# [PATH-TO-FTCSPI.dll] directly.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
library="${1:-}"
if [ -n "$library" ]; then
    library="$(cd "$(dirname "$library")" && pwd)/$(basename "$library")"
    [ -f "$library" ] || { echo "no such file: $1" >&2; exit 2; }
fi
cd "$root"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "${BRENVIK_JOBS:-2}" --target check-adapter-library >/dev/null

wine_run="$root/build/windows/wine-run.sh"
"$wine_run" --start
trap '"$wine_run" --stop' EXIT
cd "$root/build/windows/bin"
# The stand-in keeps no supply state from the check.
export BRENVIK_VSUPPLY_STATE="${BRENVIK_VSUPPLY_STATE:-none}"
if [ -n "$library" ]; then
    # Wine's drive Z: is the Linux root.
    "$wine_run" ./check-adapter-library.exe "Z:$(printf '%s' "$library" | tr / '\\')"
else
    "$wine_run" ./check-adapter-library.exe
fi
