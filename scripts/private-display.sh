# Sourced by the run and test scripts: starts a virtual X display of our own (never the user's)
# and exports DISPLAY for it. XVFB_PID holds the server's process id for stopping it.
start_private_display() {
    local display_file
    display_file="$(mktemp)"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 1 100); do
        [ -s "$display_file" ] && break
        sleep 0.1
    done
    DISPLAY=":$(head -n1 "$display_file")"
    export DISPLAY
    rm -f "$display_file"
}
