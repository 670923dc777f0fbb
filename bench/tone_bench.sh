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

# shellcheck source=../scripts/lib/pulse.sh
. scripts/lib/pulse.sh
trap PulseStop EXIT
PulseStart

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
