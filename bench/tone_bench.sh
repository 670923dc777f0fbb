#!/usr/bin/env bash
# Runs tone_bench against a private sound server with a null sink, started here and stopped by
# its PID: PulseAudio, or PipeWire with its PulseAudio server. Works as root with no display.
#   bench/tone_bench.sh [--server pulseaudio|pipewire] [--busy N] [RUNS] [tone_bench arguments...]
# --busy N runs N busy loops beside it. The build directory defaults to build/dev; set BUILD to
# use another.
set -euo pipefail
cd "$(dirname "$0")/.."
server=pulseaudio busy=0
while [ $# -gt 0 ]; do
    case $1 in
    --server) server=$2; shift 2 ;;
    --busy) busy=$2; shift 2 ;;
    *) break ;;
    esac
done
runs=${1:-3}
shift || true
bench=${BUILD:-build/dev}/bench/tone_bench
[ -x "$bench" ] || { echo "build $bench first: cmake --build --preset dev --target tone_bench"; exit 1; }

# shellcheck source=../scripts/lib/pulse.sh
. scripts/lib/pulse.sh
# shellcheck source=../scripts/lib/pipewire.sh
. scripts/lib/pipewire.sh
loops=()
Cleanup()
{
    local pid
    for pid in "${loops[@]}"; do kill "$pid" 2>/dev/null || true; done
    SoundStop
}
trap Cleanup EXIT
SoundStart "$server"
# PipeWire suspends a sink that nothing plays to, and its monitor then delivers nothing: the
# recording's time base needs it running, as a sound card's would be, so a silent stream plays.
if [ "$server" = pipewire ]; then
    pacat --playback --raw --rate=48000 --channels=1 --format=s16le --device=rec /dev/zero &
    loops+=("$!")
fi
for _ in $(seq "$busy"); do
    sh -c 'while :; do :; done' &
    loops+=("$!")
done

echo "server: $(pactl info | sed -n 's/^Server Name: //p'); $busy busy loops"
echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
for i in $(seq "$runs"); do
    echo "== run $i"
    # How far ahead the null sink takes samples, mid-run: its monitor hears them that much
    # before a sound card of that latency would play them.
    (sleep 5; pactl list sinks | sed -n 's/^[[:space:]]*Latency: /null sink latency: /p') &
    probe=$!
    SDL_AUDIODRIVER=pulseaudio "$bench" "$@"
    wait "$probe" || true
    echo "load after the run: $(cut -d' ' -f1-3 /proc/loadavg)"
done
