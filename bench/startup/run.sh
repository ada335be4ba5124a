#!/usr/bin/env bash
# Start-up benchmark: time from process start to visible main window for Brenvik-USB and for a
# minimal dialog program built the same way, both under the same Wine in one run.
# Usage: bench/startup/run.sh [runs]   (default 5)
set -euo pipefail
# shellcheck source=bench/wine-bench.sh
source "$(dirname "$0")/../wine-bench.sh"
run_wine_bench Brenvik-USB startup-minimal startup-timer -- ./startup-timer.exe "${1:-5}"
