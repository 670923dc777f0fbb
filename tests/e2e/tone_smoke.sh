#!/usr/bin/env bash
# Keys a few elements through the tone generator into a private PulseAudio null sink, records its
# monitor with parec and checks tone count, order, lengths (within 1 ms) and frequencies; then
# keys them again and stops the server in the middle: the rest must be silent, with no hang.
# Starts and stops its own server by PID; works as root with no display.
#   tone_smoke.sh PATH/TO/tone_smoke
set -euo pipefail
smoke=$1
dir=$(mktemp -d /tmp/kestrin-tone-e2e.XXXXXX)
pulse_pid="" rec_pid=""
cleanup() {
    [ -n "$rec_pid" ] && kill "$rec_pid" 2>/dev/null && wait "$rec_pid" 2>/dev/null || true
    [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null && wait "$pulse_pid" 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT

export PULSE_RUNTIME_PATH=$dir PULSE_STATE_PATH=$dir PULSE_SERVER=unix:$dir/native HOME=$dir
unset SDL_AUDIODRIVER
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

# The sink renders far ahead until someone records: start the recorder and wait for its data.
parec --device=rec.monitor --rate=48000 --channels=1 --format=s16le --latency-msec=10 \
    --file-format=wav \
    "$dir/out.wav" &
rec_pid=$!
for _ in $(seq 100); do
    [ "$(stat -c %s "$dir/out.wav" 2>/dev/null || echo 0)" -gt 4096 ] && break
    sleep 0.05
done

"$smoke" play
kill -INT "$rec_pid"
wait "$rec_pid" || true
rec_pid=""
"$smoke" check "$dir/out.wav"

# Server lost mid-send.
"$smoke" play > "$dir/lost.log" &
player=$!
sleep 0.3
kill "$pulse_pid"
wait "$pulse_pid" 2>/dev/null || true
pulse_pid=""
for _ in $(seq 100); do
    kill -0 "$player" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$player" 2>/dev/null; then
    echo "player still running 10 s after the server went away"
    kill "$player"
    exit 1
fi
wait "$player"
echo "server lost mid-send: the player ended on its own"
