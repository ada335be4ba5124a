# Sourced by the Windows benchmarks' scripts: run_wine_bench <targets> -- <program> [args]...
# builds the targets, provides a display (a private one when there is none) and the build's Wine
# prefix, and runs each program in build/windows/bin under Wine, one after another; everything
# started here is stopped at the end.
run_wine_bench() {
    local root
    root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
    cd "$root"
    # shellcheck source=scripts/private-display.sh
    source scripts/private-display.sh

    local targets=()
    while [ "$#" -gt 0 ] && [ "$1" != "--" ]; do
        targets+=("$1")
        shift
    done
    shift
    cmake --preset windows >/dev/null
    cmake --build --preset windows -j "${BRENVIK_JOBS:-2}" --target "${targets[@]}"

    wine_run="$root/build/windows/wine-run.sh"
    XVFB_PID=""
    trap '"$wine_run" --stop; [ -z "$XVFB_PID" ] || kill "$XVFB_PID" 2>/dev/null || true' EXIT
    if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
        start_private_display
    fi
    "$wine_run" --start
    cd build/windows/bin
    local program
    while [ "$#" -gt 0 ]; do
        program=("$1")
        shift
        while [ "$#" -gt 0 ] && [ "$1" != "--" ]; do
            program+=("$1")
            shift
        done
        [ "$#" -gt 0 ] && shift
        "$wine_run" "${program[@]}"
    done
}
