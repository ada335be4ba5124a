#!/usr/bin/env bash
# A real Prometheus scrapes `brenvik --virtual serve` once a second for a minute, with the
# supply unplugged through the virtual supply's control file from second 25 to second 40.
# Passes when the output voltage series has about 60 samples, one in every scrape, the unplug shows as failed polls,
# the supply answers again afterwards, and promtool finds nothing wrong with /metrics.
# Usage: prometheus_scrape.sh PATH-TO-BRENVIK
set -euo pipefail
brenvik="$(realpath "$1")"
work="$(mktemp -d "${TMPDIR:-/tmp}/brenvik-prometheus.XXXXXX")"
serve_pid=""
prometheus_pid=""
cleanup() {
    for pid in "$prometheus_pid" "$serve_pid"; do
        if [ -n "$pid" ]; then
            kill "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        fi
    done
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"

fail() {
    echo "FAIL: $*" >&2
    echo "--- brenvik output:" >&2
    cat serve.out serve.err >&2 || true
    exit 1
}

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
    local seconds="$1"
    shift
    for _ in $(seq $((seconds * 10))); do
        if "$@" >/dev/null 2>&1; then return 0; fi
        sleep 0.1
    done
    return 1
}

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Prometheus's instant query at the time $at_time, printed as the value of the first result, or
# "none".
query() {
    curl -sf --get "http://127.0.0.1:$prometheus_port/api/v1/query" --data-urlencode "query=$1" \
        --data-urlencode "time=$at_time" |
        python3 -c 'import json, sys
r = json.load(sys.stdin)["data"]["result"]
print(r[0]["value"][1] if r else "none")'
}

printf 'hour_length_ms = 0\ncontrol_file = control.txt\n' >scenario.txt
BRENVIK_VSUPPLY_STATE=none "$brenvik" --virtual scenario.txt serve --listen 127.0.0.1:0 \
    >serve.out 2>serve.err &
serve_pid=$!
wait_for 10 grep -q 'Serving' serve.out || fail "brenvik serve did not start"
port="$(grep -o '127\.0\.0\.1:[0-9]*' serve.out | cut -d: -f2)"
wait_for 15 sh -c "curl -sf http://127.0.0.1:$port/metrics | grep -q '^brenvik_output_voltage_volts'" ||
    fail "no reading within 15 s"
curl -sf "http://127.0.0.1:$port/metrics" >metrics.txt
promtool check metrics <metrics.txt || fail "promtool check metrics"

prometheus_port="$(free_port)"
cat >prometheus.yml <<YAML
global:
  scrape_interval: 1s
  scrape_timeout: 900ms
scrape_configs:
  - job_name: brenvik
    static_configs:
      - targets: ["127.0.0.1:$port"]
YAML
prometheus --config.file=prometheus.yml --storage.tsdb.path=data \
    --web.listen-address="127.0.0.1:$prometheus_port" >prometheus.log 2>&1 &
prometheus_pid=$!
wait_for 30 curl -sf "http://127.0.0.1:$prometheus_port/-/ready" ||
    { cat prometheus.log >&2; fail "Prometheus did not get ready"; }

start=$(date +%s)
at() { # waits until $1 seconds after the start of scraping
    while [ $(($(date +%s) - start)) -lt "$1" ]; do sleep 0.2; done
}
at 25
echo "plugged = no" >control.txt
at 40
echo "plugged = yes" >control.txt
at 63

# Every query looks at the same minute.
at_time="$(date +%s.%N)"
samples="$(query 'count_over_time(brenvik_output_voltage_volts[60s])')"
scrapes="$(query 'count_over_time(up[60s])')"
worst="$(query 'min_over_time(brenvik_poll_success[60s])')"
failed="$(query 'max_over_time(brenvik_poll_failures_total[60s])')"
latest="$(query 'brenvik_poll_success')"
up="$(query 'min_over_time(up[60s])')"
echo "output voltage samples in 60 s: $samples of $scrapes scrapes; lowest poll success: $worst;" \
    "failed polls: $failed; latest poll success: $latest; target always up: $up"
# About one a second, and one in every scrape, the unplugged seconds included.
[ "$samples" != none ] && [ "$samples" -ge 50 ] && [ "$samples" -le 62 ] &&
    [ "$samples" = "$scrapes" ] ||
    fail "expected about 60 output voltage samples, one per scrape; got $samples of $scrapes"
[ "$worst" = 0 ] || fail "the unplug shows no failed poll"
[ "$failed" != none ] && [ "$failed" -ge 3 ] || fail "expected at least 3 failed polls, got $failed"
[ "$latest" = 1 ] || fail "the supply did not answer again after being plugged back in"
[ "$up" = 1 ] || fail "a scrape failed"

kill -TERM "$serve_pid"
wait "$serve_pid" || fail "brenvik serve did not end with exit 0 on SIGTERM"
serve_pid=""
grep -q '^Stopped\.$' serve.out || fail "no clean stop"
echo "ok"
