#!/usr/bin/env bash
# A real Prometheus scrapes `brenvik --virtual serve` once a second for a minute, with the
# supply unplugged through the virtual supply's control file from second 25 to second 40.
# Passes when promtool finds nothing wrong with /metrics, the output voltage series has a sample
# in every scrape (about 60), the unplug shows as failed polls, the supply answers again
# afterwards, and SIGTERM ends serve with exit 0.
# Usage: prometheus_scrape.sh PATH-TO-BRENVIK
set -euo pipefail
brenvik="$(realpath "$1")"
work="$(mktemp -d "${TMPDIR:-/tmp}/brenvik-prometheus.XXXXXX")"
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait || true; rm -rf "$work"' EXIT
cd "$work"

fail() {
    echo "FAIL: $*" >&2
    cat serve.out serve.err prometheus.log >&2 2>/dev/null
    exit 1
}

# Waits up to $1 seconds for the shell command $2 to succeed.
wait_for() { timeout "$1" sh -c "until $2; do sleep 0.1; done" >/dev/null 2>&1; }

# Prometheus's instant query over the same minute for every query: the first result, or "none".
query() {
    curl -sf --get "http://127.0.0.1:$prometheus_port/api/v1/query" --data-urlencode "query=$1" \
        --data-urlencode "time=$at_time" | python3 -c 'import json, sys
r = json.load(sys.stdin)["data"]["result"]
print(r[0]["value"][1] if r else "none")'
}

printf 'hour_length_ms = 0\ncontrol_file = control.txt\n' >scenario.txt
BRENVIK_VSUPPLY_STATE=none "$brenvik" --virtual scenario.txt serve --listen 127.0.0.1:0 \
    >serve.out 2>serve.err &
serve_pid=$!
pids+=("$serve_pid")
wait_for 10 "grep -q '^Serving 1 supply on http://127\.0\.0\.1:[0-9]*/ (Ctrl+C ends)$' serve.out" ||
    fail "brenvik serve did not start"
port="$(grep -o '127\.0\.0\.1:[0-9]*' serve.out | cut -d: -f2)"
wait_for 15 "curl -sf http://127.0.0.1:$port/metrics | grep -q '^brenvik_output_voltage_volts'" ||
    fail "no reading within 15 s"
curl -sf "http://127.0.0.1:$port/metrics" | promtool check metrics || fail "promtool check metrics"

prometheus_port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])')"
printf '%s\n' 'global: {scrape_interval: 1s, scrape_timeout: 900ms}' 'scrape_configs:' \
    "  - {job_name: brenvik, static_configs: [{targets: [\"127.0.0.1:$port\"]}]}" >prometheus.yml
prometheus --config.file=prometheus.yml --storage.tsdb.path=data \
    --web.listen-address="127.0.0.1:$prometheus_port" >prometheus.log 2>&1 &
pids+=($!)
wait_for 30 "curl -sf http://127.0.0.1:$prometheus_port/-/ready" ||
    fail "Prometheus did not get ready"

sleep 25
echo "plugged = no" >control.txt
sleep 15
echo "plugged = yes" >control.txt
sleep 23

at_time="$(date +%s.%N)"
samples="$(query 'count_over_time(brenvik_output_voltage_volts[60s])')"
scrapes="$(query 'count_over_time(up[60s])')"
# About one a second, and one in every scrape, the unplugged seconds included.
[ "$samples" != none ] && [ "$samples" -ge 50 ] && [ "$samples" -le 62 ] &&
    [ "$samples" = "$scrapes" ] || fail "expected about 60 output voltage samples, one per scrape; got $samples of $scrapes"
[ "$(query 'min_over_time(brenvik_poll_success[60s])')" = 0 ] ||
    fail "the unplug shows no failed poll"
[ "$(query 'max_over_time(brenvik_poll_failures_total[60s]) >= 3')" != none ] ||
    fail "fewer than 3 failed polls"
[ "$(query 'brenvik_poll_success')" = 1 ] ||
    fail "the supply did not answer again after being plugged back in"
[ "$(query 'min_over_time(up[60s])')" = 1 ] || fail "a scrape failed"

kill -TERM "$serve_pid"
wait "$serve_pid" || fail "brenvik serve did not end with exit 0 on SIGTERM"
[ "$(tail -n 1 serve.out)" = "Stopped." ] || fail "no clean stop"
