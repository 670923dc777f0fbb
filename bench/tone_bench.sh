#!/usr/bin/env bash
# Runs tone_bench against a private PulseAudio server with a null sink, started here and stopped
# by its PID. Works as root with no display.
#   bench/tone_bench.sh [RUNS] [tone_bench arguments...]
# The build directory defaults to build/dev; set BUILD to use another.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
shift || true
bench=${BUILD:-build/dev}/bench/tone_bench
[ -x "$bench" ] || { echo "build $bench first: cmake --build --preset dev --target tone_bench"; exit 1; }

dir=$(mktemp -d /tmp/kestrin-pulse.XXXXXX)
pulse_pid=""
cleanup() {
    [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null && wait "$pulse_pid" 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT

export PULSE_RUNTIME_PATH=$dir PULSE_STATE_PATH=$dir PULSE_SERVER=unix:$dir/native
export HOME=$dir # keeps the server's and clients' cookies and config out of the real home
pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --log-level=error \
    --load="module-null-sink sink_name=rec rate=48000 channels=1" \
    --load="module-native-protocol-unix socket=$dir/native auth-anonymous=1" \
    2>"$dir/pulse.log" &
pulse_pid=$!
for _ in $(seq 100); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.05
done
pactl info >/dev/null 2>&1 || { echo "PulseAudio did not start"; cat "$dir/pulse.log"; exit 1; }

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
for i in $(seq "$runs"); do
    echo "== run $i"
    # How far ahead the null sink takes samples, mid-run: its monitor hears them that much
    # before a sound card of that latency would play them.
    (sleep 5; pactl list sinks | sed -n 's/^[[:space:]]*Latency: /null sink latency: /p') &
    probe=$!
    SDL_AUDIODRIVER=pulseaudio "$bench" "$@"
    wait "$probe"
done
