#!/usr/bin/env bash
# Painting benchmark: cost of a full repaint of the main window with and without its pictures,
# and soaks of repaints and monitor ticks counting the program's GDI objects, handles and memory.
# Usage: bench/look/run.sh [repaints]   (default 600)
set -euo pipefail
# shellcheck source=bench/wine-bench.sh
source "$(dirname "$0")/../wine-bench.sh"
run_wine_bench look-bench -- ./look-bench.exe "${1:-600}"
