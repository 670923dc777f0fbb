#!/usr/bin/env bash
# Keys a few elements through the tone generator into a private PulseAudio null sink, records its
# monitor with parec and checks tone count, order, lengths (within 1 ms) and frequencies. Starts
# and stops its own server by PID; works as root with no display.
#   tone_smoke.sh PATH/TO/tone_smoke
set -euo pipefail
smoke=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../../scripts/lib/pulse.sh
. "$root/scripts/lib/pulse.sh"
trap PulseStop EXIT

unset SDL_AUDIODRIVER
# A server that does not start is the machine's fault, not the program's: it gets a second try.
# What the program plays is judged once.
PulseStart || { PulseStop; echo "once more"; PulseStart; }
RecordStart "$PULSE_DIR/out.wav"
"$smoke" play
RecordStop
"$smoke" check "$PULSE_DIR/out.wav"

# Server lost mid-send.
"$smoke" play >"$PULSE_DIR/lost.log" &
player=$!
sleep 0.3
kill "$PULSE_PID"
wait "$PULSE_PID" 2>/dev/null || true
PULSE_PID=""
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
